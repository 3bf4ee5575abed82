# Debian armhf, with g++-arm-linux-gnueabihf.
set(DEBIAN_GNU_TYPE arm-linux-gnueabihf)
set(DEBIAN_MULTIARCH arm-linux-gnueabihf)
set(QEMU_CPU arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
