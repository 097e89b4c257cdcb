#include "unit/SystemTrustStore.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <windows.h> // after our headers: it defines macros named like some of their members

#include <wincrypt.h> // after windows.h, which it needs

namespace {
std::string DerOfPem(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    unsigned char* der = nullptr;
    const int length = certificate ? i2d_X509(certificate, &der) : 0;
    std::string bytes(reinterpret_cast<const char*>(der), length > 0 ? length : 0);
    OPENSSL_free(der);
    X509_free(certificate);
    return bytes;
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
} // namespace

std::string TrustSystemWide(const std::string& pem) {
    if (!RunningUnderWine())
        return "adding a root to Windows' store asks the user; this runs under wine only";
    const std::string der = DerOfPem(pem);
    const bool added = CertAddEncodedCertificateToSystemStoreA(
        "ROOT", reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    return added ? "" : "the certificate could not be added to the ROOT store";
}

void UntrustSystemWide(const std::string& pem) {
    const std::string der = DerOfPem(pem);
    PCCERT_CONTEXT wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                     static_cast<DWORD>(der.size()));
    HCERTSTORE store = CertOpenSystemStoreA(0, "ROOT");
    if (PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, wanted, nullptr))
        CertDeleteCertificateFromStore(found); // frees `found` too
    CertCloseStore(store, 0);
    CertFreeCertificateContext(wanted);
}
