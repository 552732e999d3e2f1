# 32-bit ARMv7 with hardware floating point: Raspberry Pi OS 32-bit on a
# Pi 2 or later (uname -m: armv7l). Debian's C library has no static PIE
# for it.
set(CHIPID_TARGET_SYSTEM Linux)
set(CHIPID_TARGET_DEB_ARCH armhf)
set(CHIPID_TARGET_TRIPLET arm-linux-gnueabihf)
set(CHIPID_TARGET_MULTIARCH arm-linux-gnueabihf)
set(CHIPID_TARGET_PROCESSOR arm)
set(CHIPID_TARGET_ARCHIVE linux-armv7.tar.gz)
set(CHIPID_TARGET_RPM_ARCH "")
set(CHIPID_TARGET_EMULATOR qemu-arm-static)
set(CHIPID_TARGET_STATIC static)
set(CHIPID_TARGET_CONTROL_FLOW "")
set(CHIPID_TARGET_CONTROL_FLOW_INSTRUCTIONS "")
set(CHIPID_TARGET_ELF_MACHINE "ARM")
set(CHIPID_TARGET_PACKAGES crossbuild-essential-armhf libc6:armhf libstdc++6:armhf qemu-user-static)
set(CHIPID_TARGET_RELEASED ON)
include(${CMAKE_CURRENT_LIST_DIR}/../ChipidCross.cmake)
