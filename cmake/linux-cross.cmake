# Shared by the Linux cross toolchain files: Debian's cross compiler for
# SJ_CROSS_TRIPLET, its libraries, and qemu-user to run what it builds (the
# tests) without a binfmt handler: -L points qemu at the target's libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${SJ_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${SJ_CROSS_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${SJ_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${SJ_QEMU} -L /usr/${SJ_CROSS_TRIPLET})
