# Debian mips64el (64-bit MIPS, little-endian), with g++-mips64el-linux-gnuabi64.
set(DEBIAN_GNU_TYPE mips64el-linux-gnuabi64)
set(DEBIAN_MULTIARCH mips64el-linux-gnuabi64)
set(QEMU_CPU mips64el)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
