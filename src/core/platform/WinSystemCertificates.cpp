#include "core/platform/SystemCertificates.h"

#include <windows.h>

#include <wincrypt.h> // after windows.h, which it needs

namespace SystemCertificates {
// The current user's "ROOT" store, which also shows the machine's trusted roots. Roots no
// longer (or not yet) valid are left out, so that a renewed one is chosen in their place.
std::vector<std::string> TrustedRoots() {
    std::vector<std::string> roots;
    HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (!store)
        return roots;
    PCCERT_CONTEXT certificate = nullptr;
    while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
        if (CertVerifyTimeValidity(nullptr, certificate->pCertInfo) != 0)
            continue;
        roots.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded),
                           certificate->cbCertEncoded);
    }
    CertCloseStore(store, 0);
    return roots;
}
} // namespace SystemCertificates
