#include "core/platform/SystemCertificates.h"

namespace SystemCertificates {
std::vector<std::string> TrustedRoots() {
    return {};
}
} // namespace SystemCertificates
