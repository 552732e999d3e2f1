# 32-bit ARM from ARMv5TE on, soft floating point: Raspberry Pi OS 32-bit
# on a Pi Zero or Pi 1 (uname -m: armv6l), whose ARM1176 CPU qemu emulates.
# Debian's C library has no static PIE for it.
set(CHIPID_TARGET_SYSTEM Linux)
set(CHIPID_TARGET_DEB_ARCH armel)
set(CHIPID_TARGET_TRIPLET arm-linux-gnueabi)
set(CHIPID_TARGET_MULTIARCH arm-linux-gnueabi)
set(CHIPID_TARGET_PROCESSOR arm)
set(CHIPID_TARGET_ARCHIVE linux-armv5.tar.gz)
set(CHIPID_TARGET_RPM_ARCH "")
set(CHIPID_TARGET_EMULATOR qemu-arm-static -cpu arm1176)
set(CHIPID_TARGET_STATIC static)
set(CHIPID_TARGET_CONTROL_FLOW "")
set(CHIPID_TARGET_CONTROL_FLOW_INSTRUCTIONS "")
set(CHIPID_TARGET_ELF_MACHINE "ARM")
set(CHIPID_TARGET_PACKAGES crossbuild-essential-armel libc6:armel libstdc++6:armel qemu-user-static)
set(CHIPID_TARGET_RELEASED ON)
include(${CMAKE_CURRENT_LIST_DIR}/../ChipidCross.cmake)
