// SettingsFile: Load any file, run a fuzzed sequence of getters and setters, Save, and
// Load again. Invariants: a getter right after a setter of the same key reads back what
// was set; the reloaded lines are the held lines, each cut into the 1022-byte pieces that
// the line reader takes (a line of a multiple of 1022 bytes comes back followed by an
// empty line, the rest of its line end).
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/settings/SettingsFile.h"

namespace {
constexpr std::size_t kPiece = 1022;

// The program's own section and keys, and a few that are awkward for the line scan.
constexpr const char* kSections[] = {"Marovind", "marovind", "", "Marovind ", "[Marovind]", "x"};
constexpr const char* kKeys[] = {"LOG_TYPE",  "LOG_DIR", "LOG_SECURITY", "LOG", "", " ",
                                 "LOG_TYPE ", "=",       "LOG_DIR = x"};

// A value a setter can be given without changing the file's line structure: no line end
// and no Ctrl-Z, which ends a text-mode file. (Zero bytes cannot pass a C string.)
std::string TakeValue(FuzzedDataProvider& in) {
    std::string value = in.ConsumeRandomLengthString(2 * kPiece + 10);
    std::erase_if(value, [](char c) { return c == '\n' || c == '\0' || c == 26; });
    return value;
}

std::vector<std::string> AsReloaded(const std::vector<std::string>& lines) {
    std::vector<std::string> pieces;
    for (const std::string& line : lines) {
        std::size_t at = 0;
        do {
            pieces.push_back(line.substr(at, kPiece));
            at += kPiece;
        } while (at < line.size());
        if (!line.empty() && line.size() % kPiece == 0)
            pieces.emplace_back();
    }
    return pieces;
}

void RunOperation(FuzzedDataProvider& in, SettingsFile& settings) {
    const char* section = in.PickValueInArray(kSections);
    const char* key = in.PickValueInArray(kKeys);
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: {
        const std::string value = TakeValue(in);
        FUZZ_CHECK(settings.SetString(section, key, value));
        std::string read;
        FUZZ_CHECK(settings.GetString(section, key, read) && read == value);
        break;
    }
    case 1: {
        const int value = in.ConsumeIntegral<int>();
        FUZZ_CHECK(settings.SetInt(section, key, value));
        int read = ~value;
        FUZZ_CHECK(settings.GetInt(section, key, read) && read == value);
        break;
    }
    case 2: {
        const bool value = in.ConsumeBool();
        FUZZ_CHECK(settings.SetBool(section, key, value));
        bool read = !value;
        FUZZ_CHECK(settings.GetBool(section, key, read) && read == value);
        break;
    }
    case 3: {
        std::string read = "untouched";
        if (!settings.GetString(section, key, read))
            FUZZ_CHECK(read == "untouched");
        break;
    }
    case 4: {
        int read = 12345;
        if (!settings.GetInt(section, key, read))
            FUZZ_CHECK(read == 12345);
        break;
    }
    default: {
        bool read = true;
        settings.GetBool(section, key, read);
        break;
    }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string& path = ScratchPath("settings");
    const std::string file = in.ConsumeRandomLengthString(4 * kPiece);
    WriteScratch(path, reinterpret_cast<const std::uint8_t*>(file.data()), file.size());

    SettingsFile settings;
    FUZZ_CHECK(settings.Load(path));
    for (const std::string& line : settings.Lines())
        FUZZ_CHECK(line.size() <= kPiece && line.find('\n') == std::string::npos &&
                   line.find('\0') == std::string::npos);
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i)
        RunOperation(in, settings);

    FUZZ_CHECK(settings.Save(path));
    SettingsFile reloaded;
    reloaded.Load(path);
    FUZZ_CHECK(reloaded.Lines() == AsReloaded(settings.Lines()));
    return 0;
}
