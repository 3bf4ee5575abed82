# Debian ppc64el (64-bit POWER, little-endian), with g++-powerpc64le-linux-gnu.
set(DEBIAN_GNU_TYPE powerpc64le-linux-gnu)
set(DEBIAN_MULTIARCH powerpc64le-linux-gnu)
set(QEMU_CPU ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
