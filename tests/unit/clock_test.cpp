#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "core/platform/Clock.h"

#ifndef _WIN32
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#endif

namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::time_t FifthOfMarch() {
    return LocalTime(2024, 3, 5, 9, 5, 3);
}

std::string Format(std::time_t when) {
    char text[128];
    const std::size_t length = FormatSyslogTime(when, text, sizeof text);
    EXPECT_EQ(length, std::string(text).size());
    return text;
}

// What the C library itself makes of the month in the locale in force.
std::string LibraryMonth(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char text[64] = "";
    std::strftime(text, sizeof text, "%b", &local);
    return text;
}

TEST(Clock, FormatsLocalTimeWithTwoDigitFields) {
    struct {
        std::time_t when;
        const char* text;
    } cases[] = {
        {FifthOfMarch(), "Mar 05 09:05:03"},
        {LocalTime(2023, 1, 1, 0, 0, 0), "Jan 01 00:00:00"},
        {LocalTime(2023, 12, 31, 23, 59, 59), "Dec 31 23:59:59"},
        {LocalTime(2024, 2, 29, 12, 30, 45), "Feb 29 12:30:45"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.when), c.text);
}

TEST(Clock, EveryMonthHasItsEnglishAbbreviation) {
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(Format(LocalTime(2023, month, 15, 12, 0, 0)),
                  std::string(months[month - 1]) + " 15 12:00:00");
}

// Texts are kept for the current second; a different time must never get a stale one.
TEST(Clock, AlternatingTimesEachGetTheirOwnText) {
    const std::time_t a = FifthOfMarch();
    const std::time_t b = a + 61;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Format(a), "Mar 05 09:05:03");
        EXPECT_EQ(Format(b), "Mar 05 09:06:04");
    }
}

TEST(Clock, TooSmallBufferGivesEmptyText) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(FormatSyslogTime(FifthOfMarch(), text, 15), 0u);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(FormatSyslogTime(FifthOfMarch(), text, 16), 15u);
    EXPECT_STREQ(text, "Mar 05 09:05:03");
    EXPECT_EQ(FormatSyslogTime(FifthOfMarch(), text, 0), 0u);
}

// A locale whose month names are not English: one the system has, or else (off Windows)
// one generated into a scratch directory with localedef (the "locales" package brings its
// sources).
class ForeignLocale {
public:
    static const ForeignLocale& Get() {
        static const ForeignLocale instance;
        return instance;
    }
    bool Available() const { return !m_name.empty(); }
    const std::string& Name() const { return m_name; }
    const std::string& LocPath() const { return m_locPath; } // empty: the system's own
    const std::string& Why() const { return m_why; }

private:
    ForeignLocale() {
#ifdef _WIN32
        // The names the Windows C runtime knows its locales by.
        const char* names[] = {"German_Germany.1252", "French_France.1252", "German", "de-DE"};
#else
        const char* names[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", "de_DE"};
#endif
        for (const char* name : names) {
            if (Usable(name)) {
                m_name = name;
                return;
            }
        }
#ifdef _WIN32
        m_why = "the C runtime has no non-English locale";
#else
        Generate();
#endif
    }

    static bool Usable(const char* name) {
        const std::string saved = std::setlocale(LC_TIME, nullptr);
        const bool set = std::setlocale(LC_TIME, name) != nullptr;
        const bool foreign = set && LibraryMonth(FifthOfMarch()) != "Mar";
        std::setlocale(LC_TIME, saved.c_str());
        return foreign;
    }

#ifndef _WIN32
    void Generate() {
        m_dir = std::make_unique<TempDir>();
        if (!m_dir->IsValid()) {
            m_why = "no scratch directory for localedef";
            return;
        }
        const QString target = QString::fromStdString(m_dir->FilePath("de_DE.UTF-8"));
        QProcess localedef;
        localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", target});
        if (!localedef.waitForFinished(120000)) {
            m_why = "localedef could not be run (is libc-bin installed?)";
            return;
        }
        const std::string path = m_dir->Path();
        ScopedEnvironment use("LOCPATH", path);
        if (Usable("de_DE.UTF-8")) {
            m_name = "de_DE.UTF-8";
            m_locPath = path;
        } else {
            m_why = "no non-English locale installed and localedef could not build de_DE "
                    "(install the \"locales\" package): " +
                    localedef.readAllStandardError().left(300).toStdString();
        }
    }

    std::unique_ptr<TempDir> m_dir;
#endif
    std::string m_name;
    std::string m_locPath;
    std::string m_why;
};

// Switches the whole C library locale for one test and back.
class CLocaleSwitch {
public:
    explicit CLocaleSwitch(const ForeignLocale& locale)
        : m_saved(std::setlocale(LC_ALL, nullptr)), m_locPath("LOCPATH", locale.LocPath()) {
        m_ok = std::setlocale(LC_ALL, locale.Name().c_str()) != nullptr;
    }
    ~CLocaleSwitch() { std::setlocale(LC_ALL, m_saved.c_str()); }
    bool Ok() const { return m_ok; }

private:
    std::string m_saved;
    ScopedEnvironment m_locPath; // set before the switch, restored after the locale is
    bool m_ok = false;
};

TEST(Clock, StaysEnglishUnderAnotherCLocale) {
    const ForeignLocale& locale = ForeignLocale::Get();
    if (!locale.Available())
        GTEST_SKIP() << locale.Why();
    CLocaleSwitch in(locale);
    ASSERT_TRUE(in.Ok()) << locale.Name();
    // The library really is in another language now...
    ASSERT_NE(LibraryMonth(FifthOfMarch()), "Mar");
    // ...but the receive time is not, and times of other seconds are not either.
    EXPECT_EQ(Format(FifthOfMarch()), "Mar 05 09:05:03");
    EXPECT_EQ(Format(LocalTime(2023, 10, 7, 18, 4, 9)), "Oct 07 18:04:09");
}

#ifndef _WIN32
// QCoreApplication sets the C library's locale from the environment on Unix. A process of
// its own is needed to start one with LANG set: this test reruns the binary with only
// itself selected, and in that child it reports instead of checking.
constexpr const char* kProbeVariable = "MAROVIND_CLOCK_PROBE";

TEST(Clock, StaysEnglishInAnApplicationStartedWithAForeignLang) {
    if (std::getenv(kProbeVariable)) {
        std::printf("probe-locale=%s\nprobe-month=%s\nprobe-time=%s\n",
                    std::setlocale(LC_TIME, nullptr), LibraryMonth(FifthOfMarch()).c_str(),
                    Format(FifthOfMarch()).c_str());
        return;
    }
    const ForeignLocale& locale = ForeignLocale::Get();
    if (!locale.Available())
        GTEST_SKIP() << locale.Why();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_TIME", "LANGUAGE"})
        env.remove(name);
    env.insert("LANG", QString::fromStdString(locale.Name()));
    env.insert(kProbeVariable, "1");
    if (!locale.LocPath().empty())
        env.insert("LOCPATH", QString::fromStdString(locale.LocPath()));

    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=Clock.StaysEnglishInAnApplicationStartedWithAForeignLang"});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    const std::string out = child.readAllStandardOutput().toStdString();

    EXPECT_NE(out.find("probe-locale=" + locale.Name()), std::string::npos) << out;
    EXPECT_EQ(out.find("probe-month=Mar\n"), std::string::npos) << out;
    EXPECT_NE(out.find("probe-time=Mar 05 09:05:03\n"), std::string::npos) << out;
}
#endif

} // namespace
