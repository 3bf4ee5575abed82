# Cross-builds with Debian's cross compilers for the architecture that the
# per-architecture file including this one names, and runs what it builds
# under qemu-user: test discovery, ctest and the tests that start the tool.
#
# Needs g++-DEBIAN_GNU_TYPE, the architecture's GoogleTest (after
# dpkg --add-architecture ARCH: libgtest-dev:ARCH) and qemu-user-static.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${QEMU_CPU})
set(CMAKE_CXX_COMPILER ${DEBIAN_GNU_TYPE}-g++)
# For GoogleTest where it is built from source, which also enables C.
set(CMAKE_C_COMPILER ${DEBIAN_GNU_TYPE}-gcc)
# find_package looks in /usr/lib/DEBIAN_MULTIARCH, where the foreign
# architecture's libraries and their CMake files are installed.
set(CMAKE_LIBRARY_ARCHITECTURE ${DEBIAN_MULTIARCH})
# Programs run with the cross toolchain's dynamic loader (-L) and its C and
# C++ libraries.  The loader would otherwise take libraries from the host's
# cache too, such as amd64's 32-bit C library for i386, and a loader and C
# library from two builds hang in a forked child.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${QEMU_CPU}-static -L /usr/${DEBIAN_GNU_TYPE}
  -E LD_LIBRARY_PATH=/usr/${DEBIAN_GNU_TYPE}/lib)
