# Cross-compiles sj for 64-bit ARM Linux (Raspberry Pi 3, 4, 5 and Zero 2 on a
# 64-bit system) with Debian's g++-aarch64-linux-gnu; qemu-aarch64 runs it.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(SJ_CROSS_TRIPLET aarch64-linux-gnu)
set(SJ_QEMU qemu-aarch64)
set(SJ_DEB_ARCHITECTURE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
