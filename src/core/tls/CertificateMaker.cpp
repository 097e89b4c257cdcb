#include "core/tls/CertificateMaker.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "core/platform/HostAddresses.h"
#include "core/platform/NewFile.h"
#include "core/tls/Fingerprint.h"
#include "core/tls/OpenSslPtr.h"

namespace {
constexpr int kSerialBits = 128;

// OpenSSL's reason for the last failure, after what we were doing.
std::string OpenSslError(const std::string& doing) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    char text[256] = "unknown error";
    if (code != 0)
        ERR_error_string_n(code, text, sizeof text);
    return doing + ": " + text;
}

bool SetRandomSerial(X509* certificate) {
    BigNumPtr serial(BN_new());
    // The top bit set keeps it positive, non-zero and within the 20 octets RFC 5280 allows.
    return serial && BN_rand(serial.get(), kSerialBits, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) &&
           BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate));
}

bool SetValidity(X509* certificate) {
    std::time_t now = std::time(nullptr);
    return X509_time_adj_ex(X509_getm_notBefore(certificate), 0, 0, &now) &&
           X509_time_adj_ex(X509_getm_notAfter(certificate), CertificatePem::kValidDays, 0, &now);
}

bool SetName(X509* certificate, const std::string& commonName) {
    X509_NAME* name = X509_get_subject_name(certificate);
    const auto* text = reinterpret_cast<const unsigned char*>(commonName.c_str());
    return X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, text, -1, -1, 0) &&
           X509_set_issuer_name(certificate, name);
}

bool AddName(GENERAL_NAMES* names, int type, ASN1_STRING* value) {
    GENERAL_NAME* name = value ? GENERAL_NAME_new() : nullptr;
    if (!name) {
        ASN1_STRING_free(value);
        return false;
    }
    GENERAL_NAME_set0_value(name, type, value);
    if (sk_GENERAL_NAME_push(names, name) > 0)
        return true;
    GENERAL_NAME_free(name);
    return false;
}

bool AddDnsName(GENERAL_NAMES* names, const std::string& dnsName) {
    ASN1_IA5STRING* value = ASN1_IA5STRING_new();
    if (value && !ASN1_STRING_set(value, dnsName.data(), static_cast<int>(dnsName.size()))) {
        ASN1_IA5STRING_free(value);
        value = nullptr;
    }
    return AddName(names, GEN_DNS, value);
}

bool SetSubjectAltName(X509* certificate, const CertificateSubject& subject) {
    GeneralNamesPtr names(sk_GENERAL_NAME_new_null());
    if (!names)
        return false;
    for (const std::string& dnsName : subject.dnsNames)
        if (!AddDnsName(names.get(), dnsName))
            return false;
    // An address OpenSSL cannot parse (a scope suffix, say) is left out, not fatal.
    for (const std::string& address : subject.ipAddresses)
        if (ASN1_OCTET_STRING* value = a2i_IPADDRESS(address.c_str()))
            if (!AddName(names.get(), GEN_IPADD, value))
                return false;
    return X509_add1_ext_i2d(certificate, NID_subject_alt_name, names.get(), 0, 0) == 1;
}

bool AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1);
}

bool AddServerExtensions(X509* certificate, const CertificateSubject& subject) {
    return SetSubjectAltName(certificate, subject) &&
           AddExtension(certificate, NID_basic_constraints, "critical,CA:FALSE") &&
           AddExtension(certificate, NID_key_usage, "critical,digitalSignature") &&
           AddExtension(certificate, NID_ext_key_usage, "serverAuth") &&
           AddExtension(certificate, NID_subject_key_identifier, "hash");
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

bool WritePem(CertificatePem& pem, X509* certificate, EVP_PKEY* key) {
    BioPtr certificateText(BIO_new(BIO_s_secmem()));
    BioPtr keyText(BIO_new(BIO_s_secmem()));
    if (!certificateText || !keyText || !PEM_write_bio_X509(certificateText.get(), certificate) ||
        !PEM_write_bio_PrivateKey(keyText.get(), key, nullptr, nullptr, 0, nullptr, nullptr))
        return false;
    pem.certificate = BioText(certificateText.get());
    pem.key = BioText(keyText.get());
    return true;
}

void Forget(std::string& secret) {
    OPENSSL_cleanse(secret.data(), secret.size());
    secret.clear();
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}
} // namespace

CertificateFiles CertificateFiles::In(const std::string& directory) {
    return {directory + kCertificateName, directory + kKeyName};
}

bool CertificateFiles::AnyExists() const {
    return Exists(certificate) || Exists(key);
}

CertificateSubject CertificateSubject::ThisHost() {
    return {HostNames(), HostAddresses(/*ipv6=*/true)};
}

CertificatePem MakeSelfSignedCertificate(const CertificateSubject& subject) {
    CertificatePem pem;
    if (subject.dnsNames.empty()) {
        pem.error = "this computer's name is not known";
        return pem;
    }
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key) {
        pem.error = OpenSslError("cannot make a P-256 key");
        return pem;
    }
    X509Ptr certificate(X509_new());
    if (!certificate || !X509_set_version(certificate.get(), X509_VERSION_3) ||
        !SetRandomSerial(certificate.get()) || !SetValidity(certificate.get()) ||
        !SetName(certificate.get(), subject.dnsNames.front()) ||
        !X509_set_pubkey(certificate.get(), key.get()) ||
        !AddServerExtensions(certificate.get(), subject) ||
        !X509_sign(certificate.get(), key.get(), EVP_sha256()) ||
        !WritePem(pem, certificate.get(), key.get())) {
        pem.error = OpenSslError("cannot make the certificate");
        return pem;
    }
    pem.fingerprint = CertificateFingerprint(certificate.get());
    return pem;
}

CertificateResult CreateCertificateFiles(const CertificateFiles& files,
                                         const CertificateSubject& subject, bool replace) {
    if (!replace && files.AnyExists())
        return {{}, files.certificate + " or " + files.key + " exists already"};
    CertificatePem pem = MakeSelfSignedCertificate(subject);
    if (!pem.error.empty())
        return {{}, pem.error};
    std::string error = WriteNewFile(files.key, pem.key, FileReaders::OwnerOnly, replace);
    Forget(pem.key);
    if (!error.empty())
        return {{}, error};
    error = WriteNewFile(files.certificate, pem.certificate, FileReaders::Usual, replace);
    if (!error.empty()) {
        // A key without its certificate is no use and would block the next attempt.
        std::error_code ignored;
        std::filesystem::remove(files.key, ignored);
        return {{}, error};
    }
    return {pem.fingerprint, {}};
}
