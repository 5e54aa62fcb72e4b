# Shared part of the Linux cross toolchains: Debian's cross g++ for the
# triple the including file sets, libraries and headers from its sysroot
# only, and tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TARNUTIL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TARNUTIL_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNUTIL_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNUTIL_CROSS_QEMU};-L;/usr/${TARNUTIL_CROSS_TRIPLE})
