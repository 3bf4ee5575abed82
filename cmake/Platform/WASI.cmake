# The WebAssembly System Interface, which CMake 3.25 does not know: programs
# are WebAssembly modules, linked statically, with no shared libraries.
set(WASI 1)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set_property(GLOBAL PROPERTY TARGET_SUPPORTS_SHARED_LIBS FALSE)
