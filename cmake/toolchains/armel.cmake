# Debian armel (32-bit ARM, EABI with soft-float calls), with g++-arm-linux-gnueabi.
set(DEBIAN_GNU_TYPE arm-linux-gnueabi)
set(DEBIAN_MULTIARCH arm-linux-gnueabi)
set(QEMU_CPU arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
