# Windows x64, with Debian's mingw-w64 cross compiler, and what it builds run
# under wine: test discovery, ctest and the tests.  The posix thread model,
# because GoogleTest needs std::mutex and std::condition_variable, which
# GCC 12 has only there; the tool itself starts no thread, and executables
# are linked statically, so none needs a DLL beyond Windows' own.
#
# Needs g++-mingw-w64-x86-64-posix and wine; the tests also need googletest,
# whose source GoogleTest is built from.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# wine's own diagnostics stay out of what the tests print.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all wine)
set(QUOBI_PASCAL_GTEST_SOURCE_DIR /usr/src/googletest)
