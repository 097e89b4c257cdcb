#pragma once
#include <vector>

// Raises the soft limit on open files to the hard limit, so a set of thousands of log
// files can open. Call once at start-up, before any log file opens. Nothing on Windows,
// which has no such limit on file handles.
void RaiseOpenFileLimit();

// Descriptors held back while a batch of files is opened and given back when it goes
// out of scope, so that whatever opens after the batch (the address list, the settings
// file, the listener socket) still finds some when the batch used up the limit.
class DescriptorReserve {
public:
    static constexpr int kDefaultCount = 8;

    explicit DescriptorReserve(int count = kDefaultCount);
    ~DescriptorReserve();
    DescriptorReserve(const DescriptorReserve&) = delete;
    DescriptorReserve& operator=(const DescriptorReserve&) = delete;

    int Held() const { return static_cast<int>(m_descriptors.size()); }

private:
    std::vector<int> m_descriptors;
};
