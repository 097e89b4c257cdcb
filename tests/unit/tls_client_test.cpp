#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "ScopedEnvironment.h"
#include "SystemTrustStore.h"
#include "TempDir.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/ClientSocket.h"
#include "core/tls/CertificateMaker.h"
#include "core/tls/TlsClient.h"
#include "core/tls/TlsServerContext.h"

namespace {
constexpr int kWaitMs = 10000;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A collector that accepts one TLS connection on loopback, on a thread of its own.
class OneConnectionServer {
public:
    explicit OneConnectionServer(SSL_CTX* context) {
        m_listener = Sockets::Create(Sockets::Family::IPv4, Sockets::Kind::Stream);
        EXPECT_TRUE(Sockets::BindAny(m_listener, 0) && Sockets::Listen(m_listener, 1));
        port = Sockets::LocalPort(m_listener);
        m_thread = std::thread([this, context] { Serve(context); });
    }
    ~OneConnectionServer() {
        m_thread.join();
        Sockets::Close(m_listener);
    }
    std::uint16_t port = 0;

private:
    void Serve(SSL_CTX* context) {
        if (!ClientSockets::WaitReadable(m_listener, kWaitMs))
            return;
        std::string peer;
        const NativeSocket socket = Sockets::Accept(m_listener, peer);
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, static_cast<int>(socket));
        // Until the handshake ends either way; the client's verdict is what the test reads.
        for (int result = SSL_accept(ssl); result != 1; result = SSL_accept(ssl)) {
            const int reason = SSL_get_error(ssl, result);
            if (reason != SSL_ERROR_WANT_READ && reason != SSL_ERROR_WANT_WRITE)
                break;
            if (!ClientSockets::WaitReadable(socket, kWaitMs))
                break;
        }
        SSL_free(ssl);
        Sockets::Close(socket);
        ERR_clear_error();
    }

    NativeSocket m_listener = Sockets::kInvalid;
    std::thread m_thread;
};

class TlsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        Sockets::IgnoreBrokenPipes();
        m_collector = MakeSelfSignedCertificate({{"collector.test"}, {"127.0.0.1"}});
        m_stranger = MakeSelfSignedCertificate({{"stranger.test"}, {}});
        ASSERT_EQ(m_collector.error, "");
        ASSERT_EQ(m_stranger.error, "");
        WriteFile(Path("collector.pem"), m_collector.certificate);
        WriteFile(Path("collector.key"), m_collector.key);
        WriteFile(Path("stranger.pem"), m_stranger.certificate);
        std::string error;
        m_server =
            TlsServerContext::Load({Path("collector.pem"), Path("collector.key"), {}}, error);
        ASSERT_TRUE(m_server) << error;
    }

    std::string Path(const std::string& name) const { return m_dir.FilePath(name); }

    // Connects to a fresh collector; empty when the handshake and the checks passed.
    std::string ConnectWith(const TlsClientTrust& trust) {
        OneConnectionServer server(m_server->Native());
        std::string error;
        const NativeSocket socket =
            ClientSockets::ConnectStream("127.0.0.1", server.port, kWaitMs, error);
        if (socket == Sockets::kInvalid)
            return "connect: " + error;
        const auto client = TlsClient::Connect(socket, trust, kWaitMs, error);
        Sockets::Close(socket);
        return client ? "" : error.empty() ? "failed without a reason" : error;
    }

    CertificatePem m_collector, m_stranger;

private:
    TempDir m_dir;
    std::shared_ptr<const TlsServerContext> m_server;
};

TEST_F(TlsClientTest, TrustsTheCollectorOnlyAsTold) {
    struct Case {
        const char* what;
        TlsClientTrust trust;
        const char* refusal; // in the error; null: the connection must succeed
    };
    const Case cases[] = {
        {"its CA, by address", {"127.0.0.1", Path("collector.pem"), ""}, nullptr},
        {"its CA, by name", {"collector.test", Path("collector.pem"), ""}, nullptr},
        {"its CA, another name", {"other.test", Path("collector.pem"), ""}, "verify"},
        {"another CA", {"127.0.0.1", Path("stranger.pem"), ""}, "verify"},
        {"a missing CA file", {"127.0.0.1", Path("none.pem"), ""}, "none.pem"},
        {"its fingerprint", {"127.0.0.1", "", m_collector.fingerprint}, nullptr},
        {"another fingerprint", {"127.0.0.1", "", m_stranger.fingerprint}, "not the pinned"},
    };
    for (const Case& c : cases) {
        const std::string error = ConnectWith(c.trust);
        if (c.refusal)
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.what << ": " << error;
        else
            EXPECT_EQ(error, "") << c.what;
    }
}

// Without a CA or a fingerprint the system's store decides: OpenSSL's paths (which
// SSL_CERT_FILE overrides on every system), and on Windows also the system's own store.
TEST_F(TlsClientTest, WithoutCaOrFingerprintTheSystemStoreDecides) {
    const TlsClientTrust trust{"127.0.0.1", "", ""};
    {
        ScopedEnvironment certFile("SSL_CERT_FILE", Path("stranger.pem"));
        ScopedEnvironment certDir("SSL_CERT_DIR", Path("no-such-dir"));
        EXPECT_NE(ConnectWith(trust).find("verify"), std::string::npos);
    }
    {
        ScopedEnvironment certFile("SSL_CERT_FILE", Path("collector.pem"));
        EXPECT_EQ(ConnectWith(trust), "");
    }
    if (!kOwnTrustStore)
        return;
    const std::string reason = TrustSystemWide(m_collector.certificate);
    if (!reason.empty())
        GTEST_SKIP() << reason;
    ScopedEnvironment certFile("SSL_CERT_FILE", Path("stranger.pem"));
    EXPECT_EQ(ConnectWith(trust), "") << "the certificate is in the system's store";
    UntrustSystemWide(m_collector.certificate);
}
} // namespace
