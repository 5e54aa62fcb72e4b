# Linux armhf (32-bit ARM) through Debian's cross g++; tests run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TARNUTIL_CROSS_TRIPLE arm-linux-gnueabihf)
set(TARNUTIL_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
