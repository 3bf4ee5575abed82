# Debian mipsel (32-bit MIPS, little-endian), with g++-mipsel-linux-gnu.
set(DEBIAN_GNU_TYPE mipsel-linux-gnu)
set(DEBIAN_MULTIARCH mipsel-linux-gnu)
set(QEMU_CPU mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
