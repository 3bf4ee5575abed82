# Debian s390x, with g++-s390x-linux-gnu.
set(DEBIAN_GNU_TYPE s390x-linux-gnu)
set(DEBIAN_MULTIARCH s390x-linux-gnu)
set(QEMU_CPU s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
