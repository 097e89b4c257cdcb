#pragma once
#include <string>

// Puts a certificate (PEM) into the system's own store of trusted roots, where the system
// has one beside OpenSSL's paths (Windows; unit/win/ holds that part). Empty when it is
// there; otherwise why the test cannot. On real Windows adding a root asks the user, so
// only wine's store is changed.
#ifdef _WIN32
constexpr bool kOwnTrustStore = true;
std::string TrustSystemWide(const std::string& pem);
void UntrustSystemWide(const std::string& pem);
#else
// OpenSSL's paths are the system's store here.
constexpr bool kOwnTrustStore = false;
inline std::string TrustSystemWide(const std::string&) {
    return "no store of its own";
}
inline void UntrustSystemWide(const std::string&) {}
#endif
