#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "TempDir.h"
#include "core/platform/NewFile.h"
#include "core/tls/CertificateMaker.h"
#include "core/tls/OpenSslPtr.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {
struct OpenSslFree {
    void operator()(void* memory) const { OPENSSL_free(memory); }
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// PEM_read on the file's bytes, as a TLS server loading them would.
X509Ptr LoadCertificate(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}
KeyPtr LoadKey(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    return KeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

// The fingerprint's hex pairs turned back into bytes, beside the certificate's own digest.
void ExpectFingerprintOf(X509* certificate, const std::string& fingerprint) {
    ASSERT_EQ(fingerprint.rfind("SHA256:", 0), 0u) << fingerprint;
    long length = 0;
    std::unique_ptr<unsigned char, OpenSslFree> shown(
        OPENSSL_hexstr2buf(fingerprint.c_str() + 7, &length));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    ASSERT_TRUE(X509_digest(certificate, EVP_sha256(), digest, &digestLength));
    ASSERT_TRUE(shown);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(shown.get()), std::size_t(length)),
              std::string(reinterpret_cast<char*>(digest), digestLength));
}

// The subjectAltName entries as "DNS:name" and "IP:" with the address's bytes in hex.
std::vector<std::string> AltNames(X509* certificate) {
    GeneralNamesPtr names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    std::vector<std::string> texts;
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_DNS)
            texts.push_back("DNS:" + std::string(reinterpret_cast<const char*>(
                                         ASN1_STRING_get0_data(name->d.dNSName))));
        else if (name->type == GEN_IPADD) {
            std::unique_ptr<char, OpenSslFree> hex(
                OPENSSL_buf2hexstr(name->d.iPAddress->data, name->d.iPAddress->length));
            texts.push_back("IP:" + std::string(hex ? hex.get() : "?"));
        }
    }
    return texts;
}

std::string CommonName(X509* certificate) {
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name,
                              sizeof name);
    return name;
}

// The Unix permission bits; Windows has an ACL instead (win/owner_only_file_test.cpp).
void ExpectOwnerOnly(const std::string& path) {
#ifndef _WIN32
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
#else
    (void)path;
#endif
}

const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));

const CertificateSubject kSubject{{"loghost", "loghost.example.org"},
                                  {"192.0.2.7", "2001:db8::1", "fe80::1%eth0"}};

TEST(CertificateMakerTest, CertificateIsTheSelfSignedServerCertificateOfItsKey) {
    const CertificatePem pem = MakeSelfSignedCertificate(kSubject);
    ASSERT_EQ(pem.error, "");
    const X509Ptr certificate = LoadCertificate(pem.certificate);
    const KeyPtr key = LoadKey(pem.key);
    ASSERT_TRUE(certificate && key);
    X509* cert = certificate.get();
    EXPECT_EQ(X509_check_private_key(cert, key.get()), 1);
    EXPECT_EQ(X509_verify(cert, key.get()), 1);
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(cert), X509_get_subject_name(cert)), 0);
    EXPECT_TRUE(EVP_PKEY_is_a(key.get(), "EC"));
    char group[64] = {};
    EXPECT_TRUE(EVP_PKEY_get_group_name(key.get(), group, sizeof group, nullptr));
    EXPECT_STREQ(group, "prime256v1");
    EXPECT_EQ(X509_get_version(cert), X509_VERSION_3);
    EXPECT_EQ(X509_get_signature_nid(cert), NID_ecdsa_with_SHA256);
    EXPECT_EQ(CommonName(cert), "loghost");
    // The scoped address is one OpenSSL cannot write in a certificate: left out.
    EXPECT_EQ(AltNames(cert),
              (std::vector<std::string>{"DNS:loghost", "DNS:loghost.example.org", "IP:C0:00:02:07",
                                        "IP:20:01:0D:B8:00:00:00:00:00:00:00:00:00:00:00:01"}));
    EXPECT_EQ(X509_check_ca(cert), 0);
    EXPECT_EQ(X509_get_key_usage(cert), std::uint32_t(KU_DIGITAL_SIGNATURE));
    EXPECT_EQ(X509_get_extended_key_usage(cert), std::uint32_t(XKU_SSL_SERVER));
    ExpectFingerprintOf(cert, pem.fingerprint);
}

TEST(CertificateMakerTest, ValidFromNowFor825Days) {
    const std::time_t before = std::time(nullptr);
    const X509Ptr certificate = LoadCertificate(MakeSelfSignedCertificate(kSubject).certificate);
    ASSERT_TRUE(certificate);
    int days = 0, seconds = 0;
    ASSERT_TRUE(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(certificate.get()),
                               X509_get0_notAfter(certificate.get())));
    EXPECT_EQ(std::make_pair(days, seconds), std::make_pair(825, 0));
    std::time_t start = before - 1;
    EXPECT_EQ(X509_cmp_time(X509_get0_notBefore(certificate.get()), &start), 1);
    std::time_t end = std::time(nullptr) + 1;
    EXPECT_EQ(X509_cmp_time(X509_get0_notBefore(certificate.get()), &end), -1);
}

TEST(CertificateMakerTest, EveryCertificateHasItsOwnKeyAndSerial) {
    const X509Ptr one = LoadCertificate(MakeSelfSignedCertificate(kSubject).certificate);
    const X509Ptr two = LoadCertificate(MakeSelfSignedCertificate(kSubject).certificate);
    ASSERT_TRUE(one && two);
    EXPECT_NE(
        ASN1_INTEGER_cmp(X509_get0_serialNumber(one.get()), X509_get0_serialNumber(two.get())), 0);
    EXPECT_NE(EVP_PKEY_eq(X509_get0_pubkey(one.get()), X509_get0_pubkey(two.get())), 1);
}

class CertificateFilesTest : public ::testing::Test {
protected:
    CertificateFiles Files() const { return CertificateFiles::In(m_dir.Path() + kSep); }
    TempDir m_dir;
};

// A matching pair with an owner-only key, and the fingerprint of the certificate written.
// Files already there stay as they are unless replacing was agreed to; a replaced key is
// owner-only even when the old file was not.
TEST_F(CertificateFilesTest, ExistingFilesAreReplacedOnlyWithConsent) {
    struct Case {
        bool certificate, key, replace, made;
    };
    for (const Case& c : {Case{false, false, false, true}, Case{true, false, false, false},
                          Case{false, true, false, false}, Case{true, true, false, false},
                          Case{true, true, true, true}, Case{false, true, true, true}}) {
        SCOPED_TRACE(::testing::Message() << c.certificate << c.key << c.replace);
        const CertificateFiles files = Files();
        std::filesystem::remove(files.certificate);
        std::filesystem::remove(files.key);
        if (c.certificate) {
            ASSERT_EQ(WriteNewFile(files.certificate, "old cert", FileReaders::Usual, false), "");
        }
        if (c.key) {
            ASSERT_EQ(WriteNewFile(files.key, "old key", FileReaders::Usual, false), "");
        }
        const CertificateResult result = CreateCertificateFiles(files, kSubject, c.replace);
        EXPECT_EQ(result.error.empty(), c.made) << result.error;
        const X509Ptr certificate = LoadCertificate(ReadWhole(files.certificate));
        const KeyPtr key = LoadKey(ReadWhole(files.key));
        EXPECT_EQ(certificate && key, c.made);
        if (c.made && certificate && key) {
            EXPECT_EQ(X509_check_private_key(certificate.get(), key.get()), 1);
            ExpectFingerprintOf(certificate.get(), result.fingerprint);
            ExpectOwnerOnly(files.key);
        } else if (!c.made) {
            EXPECT_EQ(ReadWhole(files.certificate), c.certificate ? "old cert" : "");
            EXPECT_EQ(ReadWhole(files.key), c.key ? "old key" : "");
        }
    }
}

// A failure says where and why, and leaves no half of a pair behind.
TEST_F(CertificateFilesTest, UnwritablePlacesGiveAReasonAndLeaveNothing) {
    const std::string missing = m_dir.FilePath("missing");
    std::ofstream(m_dir.FilePath("plain")) << "a file, not a folder";
    const std::string keyHere = m_dir.FilePath("k.pem");
    struct Case {
        CertificateFiles files;
        std::string named; // the path the reason must name
    };
    for (const Case& c :
         {Case{CertificateFiles::In(missing + kSep), missing + kSep + "marovind-key.pem"},
          Case{CertificateFiles::In(m_dir.FilePath("plain") + kSep),
               m_dir.FilePath("plain") + kSep + "marovind-key.pem"},
          Case{{missing + kSep + "c.pem", keyHere}, missing + kSep + "c.pem"}}) {
        SCOPED_TRACE(c.named);
        const CertificateResult result = CreateCertificateFiles(c.files, kSubject, false);
        EXPECT_NE(result.error.find(c.named + ": "), std::string::npos) << result.error;
        EXPECT_GT(result.error.size(), c.named.size() + 2);
        EXPECT_EQ(result.fingerprint, "");
        EXPECT_FALSE(std::filesystem::exists(c.files.key));
        EXPECT_FALSE(std::filesystem::exists(c.files.certificate));
    }
}

#ifndef _WIN32
// Replacing removes whatever sits at the path; a link planted there never leads the key
// into the file it points at.
TEST_F(CertificateFilesTest, ALinkInPlaceOfTheKeyIsNotFollowed) {
    const std::string target = m_dir.FilePath("elsewhere");
    std::ofstream(target) << "untouched";
    const std::string link = m_dir.FilePath("link.pem");
    std::filesystem::create_symlink(target, link);
    EXPECT_NE(WriteNewFile(link, "secret", FileReaders::OwnerOnly, false), "");
    EXPECT_EQ(WriteNewFile(link, "secret", FileReaders::OwnerOnly, true), "");
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWhole(link), "secret");
    EXPECT_EQ(ReadWhole(target), "untouched");
}
#endif
} // namespace
