# Linux aarch64 (64-bit ARM) through Debian's cross g++; tests run under
# qemu-user. GCC contracts a * b + c to fused multiply-add by default here,
# which the project-wide -ffp-contract=off keeps out.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TARNUTIL_CROSS_TRIPLE aarch64-linux-gnu)
set(TARNUTIL_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
