# Debian riscv64, with g++-riscv64-linux-gnu.  Debian 12 builds no riscv64
# packages, so GoogleTest is built from the source that googletest ships.
set(DEBIAN_GNU_TYPE riscv64-linux-gnu)
set(DEBIAN_MULTIARCH riscv64-linux-gnu)
set(QEMU_CPU riscv64)
set(QUOBI_PASCAL_GTEST_SOURCE_DIR /usr/src/googletest)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
