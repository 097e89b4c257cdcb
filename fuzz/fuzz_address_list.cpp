// ReadAddressList on any file: no entry holds a LF, a zero byte or a Ctrl-Z, none is
// longer than one 1022-byte read, skipping empty entries never yields one, and the list
// without empty entries is the full list with them taken out.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/reception/AddressList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath("ipaddr");
    WriteScratch(path, data, size);

    std::vector<std::string> all;
    std::vector<std::string> nonEmpty;
    FUZZ_CHECK(ReadAddressList(path, true, all));
    FUZZ_CHECK(ReadAddressList(path, false, nonEmpty));
    for (const std::string& entry : all) {
        FUZZ_CHECK(entry.find('\n') == std::string::npos);
        FUZZ_CHECK(entry.find('\0') == std::string::npos);
        FUZZ_CHECK(entry.find('\x1a') == std::string::npos);
        FUZZ_CHECK(entry.size() <= 1022);
    }
    std::erase(all, std::string());
    FUZZ_CHECK(all == nonEmpty);
    return 0;
}
