# Debian arm64, with g++-aarch64-linux-gnu.
set(DEBIAN_GNU_TYPE aarch64-linux-gnu)
set(DEBIAN_MULTIARCH aarch64-linux-gnu)
set(QEMU_CPU aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
