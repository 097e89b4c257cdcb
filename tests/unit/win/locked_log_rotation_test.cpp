#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/platform/MessageBox.h"
#include "core/storage/LogArchiving.h"
#include "core/storage/LogFileEntry.h"
#include "unit/TempDir.h"

#include <windows.h> // after our headers: it defines macros named like some of their members

namespace {
std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Another program holding the log open the way editors and copy tools do: reading and
// writing shared, deleting and renaming not.
class Holder {
public:
    explicit Holder(const std::string& path)
        : m_handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Holder() { Release(); }
    bool IsHolding() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (IsHolding())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

TEST(LockedLogRotation, GoesOnInTheFileReportsOnceAndRetriesAMinuteLater) {
    TempDir dir;
    const std::string base = dir.Path() + "\\";
    std::vector<std::string> boxes;
    MessageBoxHandler saved = SetMessageBoxHandler([&](const std::string& text) {
        boxes.push_back(text);
        return IDOK;
    });
    ArchiveSettings settings;
    settings.rotateDaily = true;
    // The fake clock's calendar: day 10 of December until second 1000, then day 11.
    LogArchiving archiving(settings, base, [](std::time_t when) {
        return std::optional<CalendarDay>(CalendarDay{2026, 12, when < 1000 ? 10 : 11});
    });
    LogFileEntry entry("syslog.log", base + "syslog.log");
    ASSERT_TRUE(entry.Open());
    const auto line = [&](std::time_t when, const std::string& text) {
        archiving.BeforeLine(entry, when, text.size());
        entry.WriteLine(text);
    };
    line(10, "day 10\r\n");
    Holder holder(base + "syslog.log");
    ASSERT_TRUE(holder.IsHolding());

    line(1000, "held 1\r\n");
    line(1030, "held 2\r\n");
    holder.Release();
    line(1059, "held 3\r\n"); // within the minute: not tried yet
    EXPECT_EQ(ReadAll(base + "syslog.log"), "day 10\r\nheld 1\r\nheld 2\r\nheld 3\r\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("syslog.log"), std::string::npos);

    line(1061, "after\r\n");
    entry.Close();
    EXPECT_EQ(ReadAll(base + "syslog.2026-12-10.log"), "day 10\r\nheld 1\r\nheld 2\r\nheld 3\r\n");
    EXPECT_EQ(ReadAll(base + "syslog.log"), "after\r\n");
    EXPECT_EQ(boxes.size(), 1u);
    SetMessageBoxHandler(std::move(saved));
}
} // namespace
