#include "core/platform/OpenFileLimit.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#ifdef _WIN32

void RaiseOpenFileLimit() {}

DescriptorReserve::DescriptorReserve(int) {}

DescriptorReserve::~DescriptorReserve() = default;

#else

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit); // a refusal leaves the limit as it was
}

DescriptorReserve::DescriptorReserve(int count) {
    for (int i = 0; i < count; ++i) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        m_descriptors.push_back(fd);
    }
}

DescriptorReserve::~DescriptorReserve() {
    for (const int fd : m_descriptors)
        ::close(fd);
}

#endif
