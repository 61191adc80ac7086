# Cross-compiles sj for 32-bit ARM Linux with hardware floating point (armhf:
# ARMv7 and later, a Raspberry Pi 2 or later on a 32-bit system) with
# Debian's g++-arm-linux-gnueabihf; qemu-arm runs it.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(SJ_CROSS_TRIPLET arm-linux-gnueabihf)
set(SJ_QEMU qemu-arm)
set(SJ_DEB_ARCHITECTURE armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
