#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// A scratch file of this fuzzer process: the readers under test take a path, and every
// input is written there first. It lives in $TMPDIR when set (the fuzzer script gives each
// run a directory of its own), otherwise on a memory file system when there is one.
inline const std::string& ScratchPath(const char* name) {
    static const std::string path = [name] {
        const char* dir = std::getenv("TMPDIR");
        if (!dir || !*dir)
            dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/marovind-fuzz-" + name + "-" + std::to_string(getpid());
    }();
    static const int removeAtExit = std::atexit([] { std::remove(path.c_str()); });
    (void)removeAtExit;
    return path;
}

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// Stops the fuzzer with a message when an invariant does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__,           \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
