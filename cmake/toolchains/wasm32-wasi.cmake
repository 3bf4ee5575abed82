# WebAssembly for WASI (wasm32-wasi), with Debian's clang and its wasm32 C
# and C++ libraries, no Emscripten; what it builds runs under Node.js: test
# discovery, ctest and the tests.  WASI has no processes, so the tests that
# start one skip, saying why.
#
# Needs clang, lld-14, wasi-libc, libc++-14-dev-wasm32,
# libc++abi-14-dev-wasm32, libclang-rt-14-dev-wasm32 and nodejs; the tests
# also need googletest, whose source GoogleTest is built from.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# Platform/WASI.cmake: what CMake itself does not know of WASI.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/..)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
# Debian's C++ library for wasm32 has no exceptions, which WebAssembly
# could only throw with a proposal that clang 14 and WASI runtimes lack.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
set(CMAKE_FIND_ROOT_PATH /usr/lib/wasm32-wasi /usr/include/wasm32-wasi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Node.js runs a module with its own WASI, which gives the tests the files
# they read; its note that WASI is experimental stays out of their output.
set(CMAKE_CROSSCOMPILING_EMULATOR node --no-warnings
  ${CMAKE_CURRENT_LIST_DIR}/../../tests/wasi_run.mjs)
set(QUOBI_PASCAL_GTEST_SOURCE_DIR /usr/src/googletest)
