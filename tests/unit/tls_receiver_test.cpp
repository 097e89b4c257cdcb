#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "RecordingWindow.h"
#include "StreamReceiverTest.h"
#include "TempDir.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/EventLoop.h"
#include "core/platform/HostAddresses.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogSocket.h"
#include "core/tls/Fingerprint.h"
#include "core/tls/TlsServerContext.h"
#include "core/transport/TcpReceiver.h"

#ifdef _WIN32
#include <winsock2.h>
#undef SendMessage
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {
constexpr int kWaitMs = StreamReceiverTest::kWaitMs;
constexpr long kDay = 24 * 60 * 60;

// Test certificates, made here: a key of P-256 and a certificate signed by `issuer` (itself
// when null), valid from `fromSeconds` to `toSeconds` around now.
struct Credential {
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    ~Credential() {
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
};

std::unique_ptr<Credential> MakeCredential(const char* name, const Credential* issuer,
                                           long fromSeconds, long toSeconds, bool ca = false) {
    static long serial = 1;
    auto made = std::make_unique<Credential>();
    made->key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    made->certificate = certificate;
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), fromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(certificate), toSeconds);
    X509_set_pubkey(certificate, made->key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer->certificate)
                                             : X509_get_subject_name(certificate));
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer ? issuer->certificate : certificate, certificate, nullptr,
                   nullptr, 0);
    X509_EXTENSION* constraints = X509V3_EXT_conf_nid(nullptr, &context, NID_basic_constraints,
                                                      ca ? "critical,CA:TRUE" : "CA:FALSE");
    X509_add_ext(certificate, constraints, -1);
    X509_EXTENSION_free(constraints);
    X509_sign(certificate, issuer ? issuer->key : made->key, EVP_sha256());
    return made;
}

void WriteText(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

void WritePem(const Credential& credential, const std::string& certificatePath,
              const std::string& keyPath, const char* passphrase = nullptr) {
    BIO* bio = BIO_new_file(certificatePath.c_str(), "wb");
    PEM_write_bio_X509(bio, credential.certificate);
    BIO_free(bio);
    if (keyPath.empty())
        return;
    bio = BIO_new_file(keyPath.c_str(), "wb");
    if (passphrase)
        PEM_write_bio_PrivateKey(bio, credential.key, EVP_aes_128_cbc(), nullptr, 0, nullptr,
                                 const_cast<char*>(passphrase));
    else
        PEM_write_bio_PrivateKey(bio, credential.key, nullptr, nullptr, 0, nullptr, nullptr);
    BIO_free(bio);
}

// Every credential of the tests, as files in one scratch directory.
class Credentials {
public:
    Credentials() {
        serverCa = MakeCredential("server CA", nullptr, -kDay, 400 * kDay, true);
        server = MakeCredential("server", serverCa.get(), -kDay, 400 * kDay);
        renewed = MakeCredential("renewed", nullptr, -kDay, 400 * kDay);
        clientCa = MakeCredential("client CA", nullptr, -kDay, 400 * kDay, true);
        WritePem(*server, Path("server.pem"), Path("server.key"));
        WritePem(*renewed, Path("renewed.pem"), Path("renewed.key"));
        WritePem(*clientCa, Path("clientca.pem"), "");
        WritePem(*server, Path("encrypted.pem"), Path("encrypted.key"), "secret");
        WriteText(Path("garbage.txt"), "not a certificate\n");
    }
    std::string Path(const std::string& name) const { return m_dir.Path() + "/" + name; }

    std::unique_ptr<Credential> serverCa, server, renewed, clientCa;

private:
    TempDir m_dir;
};

const Credentials& Files() {
    static const Credentials credentials;
    return credentials;
}

std::shared_ptr<const TlsServerContext> LoadOrFail(const TlsFiles& files) {
    std::string error;
    auto context = TlsServerContext::Load(files, error);
    EXPECT_TRUE(context) << error;
    return context;
}

// A blocking TLS client on loopback, for a thread of its own: the server's loop runs here.
class TlsClient {
public:
    explicit TlsClient(std::uint16_t port) {
        m_socket = Sockets::Create(Sockets::Family::IPv4, Sockets::Kind::Stream);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = inet_addr("127.0.0.1");
        if (connect(m_socket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            return;
        m_context = SSL_CTX_new(TLS_client_method());
        m_ssl = SSL_new(m_context);
        SSL_set_fd(m_ssl, static_cast<int>(m_socket));
        handshake = SSL_connect(m_ssl) == 1;
    }
    ~TlsClient() {
        SSL_free(m_ssl);
        SSL_CTX_free(m_context);
        if (m_socket != Sockets::kInvalid)
            Sockets::Close(m_socket);
        ERR_clear_error();
    }
    bool Send(const std::string& bytes) {
        std::size_t written = 0;
        return m_ssl && SSL_write_ex(m_ssl, bytes.data(), bytes.size(), &written) == 1;
    }
    void Close() {
        if (m_ssl)
            SSL_shutdown(m_ssl);
        Sockets::Close(m_socket);
        m_socket = Sockets::kInvalid;
    }
    bool handshake = false;

private:
    NativeSocket m_socket = Sockets::kInvalid;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
};

class TlsReceiverTest : public StreamReceiverTest {
protected:
    void SetUp() override {
        // The test's own clients write to connections the server may have closed.
        Sockets::IgnoreBrokenPipes();
        StreamReceiverTest::SetUp();
        Serve({Files().Path("server.pem"), Files().Path("server.key"), {}});
    }
    void TearDown() override {
        g_tlsReceiver.Close();
        g_tlsReceiver.SetTlsContext(nullptr);
        g_tlsReceiver.Errors() = TcpErrorLog();
        g_tlsReceiver.Errors().SetName("TLS");
        StreamReceiverTest::TearDown();
    }
    void Serve(const TlsFiles& files) {
        g_tlsReceiver.SetTlsContext(LoadOrFail(files));
        ASSERT_TRUE(g_tlsReceiver.Listen(port, false));
    }
    // Runs `client` on a thread of its own while this thread serves; false on a timeout.
    bool Run(const std::function<void()>& client) {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            client();
            done = true;
        });
        // In short turns: nothing wakes this loop when the client ends.
        bool finished = false;
        for (int waited = 0; !finished && waited < kWaitMs; waited += 20)
            finished = PumpEventsUntil([&] { return done.load(); }, 20);
        thread.join();
        return finished;
    }
};
} // namespace

// --- loading the files --------------------------------------------------------------------

struct LoadCase {
    const char* name;
    std::string certificate, key, clientCa;
    std::string error; // empty: loads
};

class TlsLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(TlsLoadTest, NamesTheFileAndTheReason) {
    const LoadCase& c = GetParam();
    std::string error;
    const auto context = TlsServerContext::Load({c.certificate, c.key, c.clientCa}, error);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(context != nullptr, c.error.empty());
    if (context) {
        EXPECT_EQ(context->Fingerprint(), CertificateFingerprint(Files().server->certificate));
        EXPECT_EQ(context->MutualAuthentication(), !c.clientCa.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TlsLoadTest,
    ::testing::Values(
        LoadCase{"pair", Files().Path("server.pem"), Files().Path("server.key"), {}, {}},
        LoadCase{"withClientCa",
                 Files().Path("server.pem"),
                 Files().Path("server.key"),
                 Files().Path("clientca.pem"),
                 {}},
        LoadCase{"noCertificateNamed",
                 {},
                 Files().Path("server.key"),
                 {},
                 "TLS certificate: no file is named (TLS_CERT)"},
        LoadCase{"noKeyNamed",
                 Files().Path("server.pem"),
                 {},
                 {},
                 "TLS key: no file is named (TLS_KEY)"},
        LoadCase{"missingCertificate",
                 Files().Path("none.pem"),
                 Files().Path("server.key"),
                 {},
                 "TLS certificate " + Files().Path("none.pem") + ": no such file"},
        LoadCase{"missingKey",
                 Files().Path("server.pem"),
                 Files().Path("none.key"),
                 {},
                 "TLS key " + Files().Path("none.key") + ": no such file"},
        LoadCase{"certificateNotPem",
                 Files().Path("garbage.txt"),
                 Files().Path("server.key"),
                 {},
                 "TLS certificate " + Files().Path("garbage.txt") + ": not a PEM certificate"},
        LoadCase{"keyNotPem",
                 Files().Path("server.pem"),
                 Files().Path("garbage.txt"),
                 {},
                 "TLS key " + Files().Path("garbage.txt") + ": not a PEM private key"},
        LoadCase{"keyIsACertificate",
                 Files().Path("server.pem"),
                 Files().Path("server.pem"),
                 {},
                 "TLS key " + Files().Path("server.pem") + ": not a PEM private key"},
        LoadCase{"keyOfAnotherCertificate",
                 Files().Path("server.pem"),
                 Files().Path("renewed.key"),
                 {},
                 "TLS key " + Files().Path("renewed.key") + ": does not match the certificate " +
                     Files().Path("server.pem")},
        LoadCase{"keyWithAPassphrase",
                 Files().Path("encrypted.pem"),
                 Files().Path("encrypted.key"),
                 {},
                 "TLS key " + Files().Path("encrypted.key") +
                     ": protected by a passphrase, which nobody is there to type"},
        LoadCase{"clientCaNotPem", Files().Path("server.pem"), Files().Path("server.key"),
                 Files().Path("garbage.txt"),
                 "TLS client CA " + Files().Path("garbage.txt") + ": not a PEM certificate"},
        LoadCase{"missingClientCa", Files().Path("server.pem"), Files().Path("server.key"),
                 Files().Path("none.pem"),
                 "TLS client CA " + Files().Path("none.pem") + ": no such file"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

struct ExpiryCase {
    std::time_t left;
    std::string want; // the start of the warning; empty: none
};

TEST(CertificateExpiry, WarnsWithinThirtyDays) {
    const std::time_t now = 1'800'000'000; // 2027-01-15 08:00 UTC
    const std::vector<ExpiryCase> cases = {
        {31 * kDay, ""},
        {30 * kDay + 1, ""},
        {30 * kDay,
         "Syslog: The TLS certificate c.pem expires on 2027-02-14 08:00 UTC (in 30 days)"},
        {kDay + 60, "Syslog: The TLS certificate c.pem expires on 2027-01-16 08:01 UTC (in 1 day)"},
        {60, "Syslog: The TLS certificate c.pem expires on 2027-01-15 08:01 UTC (in 0 days)"},
        {0, "Syslog: The TLS certificate c.pem expired on 2027-01-15 08:00 UTC; senders"},
        {-5 * kDay, "Syslog: The TLS certificate c.pem expired on 2027-01-10 08:00 UTC; senders"},
    };
    for (const ExpiryCase& c : cases) {
        const std::string warning = CertificateExpiryWarning("c.pem", now + c.left, now);
        if (c.want.empty())
            EXPECT_EQ(warning, "") << c.left;
        else
            EXPECT_EQ(warning.substr(0, c.want.size()), c.want) << c.left;
    }
}

TEST(CertificateExpiry, TheLoadedContextKnowsTheEnd) {
    const auto context = LoadOrFail({Files().Path("server.pem"), Files().Path("server.key"), {}});
    ASSERT_TRUE(context);
    EXPECT_NEAR(static_cast<double>(context->NotAfter() - std::time(nullptr)),
                static_cast<double>(400 * kDay), 120.0);
}

TEST(TlsStartupLines, NameThePortAndTheFingerprint) {
    struct Case {
        unsigned tlsPort;
        std::string fingerprint;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases = {
        {0, "SHA256:AB", {kVersionText, "Listening for syslog messages on TCP port: 601"}},
        {6514, "", {kVersionText, "Listening for syslog messages on TCP port: 601"}},
        {6514,
         "SHA256:AB:CD",
         {kVersionText, "Listening for syslog messages on TCP port: 601",
          "Listening for syslog messages on TLS port: 6514",
          "TLS certificate fingerprint: SHA256:AB:CD"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartupLines({}, 601, c.tlsPort, c.fingerprint), c.want);
}

TEST(TlsErrorReport, NamesTlsAndTheLastCase) {
    EXPECT_EQ(TcpErrorReport(TcpError::kHandshake, 2, 5, "TLS", "10.0.0.1: wrong version number"),
              "TLS: 2 handshakes failed since the last report, 5 in all; the last: 10.0.0.1: "
              "wrong version number");
    EXPECT_EQ(TcpErrorReport(TcpError::kHandshakeTimeout, 1, 1, "TLS"),
              "TLS: 1 handshakes not finished within 10 seconds since the last report, 1 in all");
    EXPECT_EQ(TcpErrorReport(TcpError::kReset, 1, 1),
              "TCP: 1 connections reset or failed since the "
              "last report, 1 in all");
}

TEST(TlsPaths, RelativeToTheProgramDirectory) {
    const std::string saved = g_programDir;
    g_programDir = "/opt/marovind/";
    EXPECT_EQ(ProgramRelativePath("cert.pem"), "/opt/marovind/cert.pem");
    EXPECT_EQ(ProgramRelativePath("tls/cert.pem"), "/opt/marovind/tls/cert.pem");
#ifndef _WIN32
    EXPECT_EQ(ProgramRelativePath("/etc/marovind/cert.pem"), "/etc/marovind/cert.pem");
#else
    EXPECT_EQ(ProgramRelativePath("C:\\certs\\cert.pem"), "C:\\certs\\cert.pem");
#endif
    EXPECT_EQ(ProgramRelativePath(""), "");
    g_programDir = saved;
}

// --- connections ------------------------------------------------------------------------

// Many small records in one go: what TLS has read ahead is delivered without a new notice.
TEST_F(TlsReceiverTest, ManyRecordsAllArriveInOrder) {
    constexpr int kCount = 20000;
    ASSERT_TRUE(Run([&] {
        TlsClient client(port);
        for (int i = 0; i < kCount; ++i)
            client.Send("<13>m" + std::to_string(i) + "\n");
        client.Close();
    }));
    ASSERT_TRUE(WaitFor([&] { return window.records.size() == kCount; }))
        << g_tlsReceiver.StatusText() << ", " << window.records.size() << " records";
    const std::vector<std::string> texts = Texts();
    for (int i = 0; i < kCount; i += 997)
        EXPECT_EQ(texts[static_cast<std::size_t>(i)], "m" + std::to_string(i));
}

TEST_F(TlsReceiverTest, TheSourceFilterRefusesBeforeTheHandshake) {
    g_listener.m_filterOn = true;
    g_listener.m_permittedAddresses = {"10.9.9.9"};
    bool handshake = true;
    ASSERT_TRUE(Run([&] {
        TlsClient client(port);
        handshake = client.handshake;
    }));
    g_listener.m_filterOn = false;
    EXPECT_FALSE(handshake);
    EXPECT_EQ(g_tlsReceiver.Errors().CountOf(TcpError::kRefused), 1u);
    EXPECT_EQ(g_tlsReceiver.Errors().CountOf(TcpError::kHandshake), 0u);
}
