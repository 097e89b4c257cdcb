#pragma once
#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the life of the object and then puts back what was there
// before (unset if it was). An empty value leaves the variable as it is.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (!value.empty())
            Set(name, value);
    }
    ~ScopedEnvironment() {
        if (m_old)
            Set(m_name, *m_old);
        else
            Unset(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    static void Set(const char* name, const std::string& value) {
#ifdef _WIN32
        _putenv_s(name, value.c_str());
#else
        setenv(name, value.c_str(), 1);
#endif
    }
    static void Unset(const char* name) {
#ifdef _WIN32
        _putenv_s(name, ""); // an empty value removes it there
#else
        unsetenv(name);
#endif
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
