# 64-bit ARM: Raspberry Pi OS 64-bit on a Pi 3 or later, ARM servers
# (uname -m: aarch64).
set(CHIPID_TARGET_DEB_ARCH arm64)
set(CHIPID_TARGET_TRIPLET aarch64-linux-gnu)
set(CHIPID_TARGET_MULTIARCH aarch64-linux-gnu)
set(CHIPID_TARGET_PROCESSOR aarch64)
set(CHIPID_TARGET_ARCHIVE linux-aarch64.tar.gz)
set(CHIPID_TARGET_EMULATOR qemu-aarch64-static)
set(CHIPID_TARGET_STATIC static-pie)
set(CHIPID_TARGET_CONTROL_FLOW -mbranch-protection=standard)
set(CHIPID_TARGET_CONTROL_FLOW_INSTRUCTIONS paciasp "bti[[:space:]]")
set(CHIPID_TARGET_ELF_MACHINE "AArch64")
set(CHIPID_TARGET_RELEASED ON)
include(${CMAKE_CURRENT_LIST_DIR}/../ChipidCross.cmake)
