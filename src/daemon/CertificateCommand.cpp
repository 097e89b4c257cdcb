#include "daemon/CertificateCommand.h"

#include <cstdio>
#include <string>

#include "core/platform/AsyncSocket.h"
#include "core/platform/ProgramDir.h"
#include "core/settings/NetworkSettings.h"
#include "core/tls/CertificateMaker.h"

namespace {
constexpr int kFailed = 1;

void Fail(const std::string& text) {
    std::fprintf(stderr, "marovindd: %s\n", text.c_str());
}

void PrintMade(const CertificateFiles& files, const std::string& fingerprint) {
    std::printf("Certificate fingerprint: %s\n", fingerprint.c_str());
    std::printf("Certificate: %s\nPrivate key: %s\n", files.certificate.c_str(), files.key.c_str());
    std::printf("To receive over TLS, add to section [Marovind] of the settings file:\n"
                "%s = %u\n%s = %s\n%s = %s\n",
                NetworkSettings::kTlsPortKey, unsigned(NetworkSettings::kDefaultTlsPort),
                NetworkSettings::kTlsCertKey, CertificateFiles::kCertificateName,
                NetworkSettings::kTlsKeyKey, CertificateFiles::kKeyName);
}
} // namespace

int CreateCertificateCommand(bool force) {
    const CertificateFiles files = CertificateFiles::In(g_programDir);
    if (!force && files.AnyExists()) {
        Fail(files.certificate + " or " + files.key +
             " exists already; nothing was changed. --create-certificate --force replaces "
             "both with a new pair (senders that pinned the old fingerprint must then pin the "
             "new one).");
        return kFailed;
    }
    Sockets::Startup(); // the host's name and addresses need the socket library on Windows
    const CertificateResult result =
        CreateCertificateFiles(files, CertificateSubject::ThisHost(), force);
    if (!result.error.empty()) {
        Fail("cannot create the certificate: " + result.error);
        return kFailed;
    }
    PrintMade(files, result.fingerprint);
    return 0;
}
