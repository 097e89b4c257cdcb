#pragma once
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A scratch directory of its own under the system's temporary directory, removed with
// everything in it when the object goes. Plain C++, so the tests build where Qt is absent.
class TempDir {
public:
    TempDir() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        if (error)
            return;
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[40];
            std::snprintf(name, sizeof name, "marovind-test-%016llx",
                          static_cast<unsigned long long>(random()));
            const std::filesystem::path candidate = base / name;
            // Only a directory that this call created is ours to remove later.
            if (std::filesystem::create_directory(candidate, error)) {
                m_path = candidate.string();
                return;
            }
            if (error)
                return;
        }
    }
    ~TempDir() {
        if (m_path.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    // The directory's full path in the platform's own form, without a trailing separator.
    const std::string& Path() const { return m_path; }
    // A name inside the directory, joined with the platform's separator.
    std::string FilePath(const std::string& name) const {
        return (std::filesystem::path(m_path) / name).make_preferred().string();
    }

private:
    std::string m_path;
};
