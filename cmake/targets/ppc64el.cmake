# 64-bit little-endian POWER (uname -m: ppc64le). Known to build and pass,
# not released. Debian's C library has no static PIE for it.
set(CHIPID_TARGET_DEB_ARCH ppc64el)
set(CHIPID_TARGET_TRIPLET powerpc64le-linux-gnu)
set(CHIPID_TARGET_MULTIARCH powerpc64le-linux-gnu)
set(CHIPID_TARGET_PROCESSOR powerpc64le)
set(CHIPID_TARGET_ARCHIVE linux-ppc64le.tar.gz)
set(CHIPID_TARGET_EMULATOR qemu-ppc64le-static)
set(CHIPID_TARGET_STATIC static)
set(CHIPID_TARGET_CONTROL_FLOW "")
set(CHIPID_TARGET_CONTROL_FLOW_INSTRUCTIONS "")
set(CHIPID_TARGET_ELF_MACHINE "PowerPC64")
set(CHIPID_TARGET_RELEASED OFF)
include(${CMAKE_CURRENT_LIST_DIR}/../ChipidCross.cmake)
