# Debian i386, with g++-i686-linux-gnu.
set(DEBIAN_GNU_TYPE i686-linux-gnu)
set(DEBIAN_MULTIARCH i386-linux-gnu)
set(QEMU_CPU i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
