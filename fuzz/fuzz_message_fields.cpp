// ParseMessageFields on any text, held in a block of exactly its size: it reads nothing past
// the end, every field is a piece of the text, the message part is its tail, and a text
// without a header keeps all of it.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/fields/MessageFields.h"
#include "fuzz_support.h"

namespace {
bool Inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::make_unique<char[]>(size);
    if (size)
        std::memcpy(bytes.get(), data, size);
    const std::string_view text(bytes.get(), size);
    const MessageFields f = ParseMessageFields(text);

    for (std::string_view part : {f.sent.text, f.host, f.app, f.pid, f.msgid, f.sd, f.message})
        FUZZ_CHECK(Inside(part, text));
    FUZZ_CHECK(text.ends_with(f.message));
    if (f.format == HeaderFormat::None) {
        FUZZ_CHECK(f.message == text);
        FUZZ_CHECK(f.sent.text.empty() && f.host.empty() && f.app.empty() && f.sd.empty());
    }
    FUZZ_CHECK(f.host.size() <= 255 && f.app.size() <= 48 && f.pid.size() <= 128 &&
               f.msgid.size() <= 32);
    FUZZ_CHECK(!f.sent.hasOffset || f.format == HeaderFormat::Rfc5424);
    return 0;
}
