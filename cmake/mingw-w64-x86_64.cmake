# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The posix thread model gives std::thread and std::mutex. Programs without Qt carry their
# C++ runtime inside (see marovind_link_runtime_statically); those with Qt share the runtime
# DLLs that Qt's own DLLs load.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_AR ${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the MinGW sysroot (and whatever prefix the caller adds,
# such as a GoogleTest built with this file); programs such as moc come from the host.
# OpenSSL for Windows lies outside it, where OPENSSL_ROOT_DIR says.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET} ${OPENSSL_ROOT_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A Qt for Windows named by CMAKE_PREFIX_PATH lies outside the sysroot.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Built executables are run with wine (try_run, gtest_discover_tests).
find_program(WINE_EXECUTABLE wine)
if(WINE_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
