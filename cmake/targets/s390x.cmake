# IBM Z (uname -m: s390x): big-endian, which keeps the code honest about
# byte order. Debian's C library has no static PIE for it.
set(CHIPID_TARGET_DEB_ARCH s390x)
set(CHIPID_TARGET_TRIPLET s390x-linux-gnu)
set(CHIPID_TARGET_MULTIARCH s390x-linux-gnu)
set(CHIPID_TARGET_PROCESSOR s390x)
set(CHIPID_TARGET_ARCHIVE linux-s390x.tar.gz)
set(CHIPID_TARGET_EMULATOR qemu-s390x-static)
set(CHIPID_TARGET_STATIC static)
set(CHIPID_TARGET_CONTROL_FLOW "")
set(CHIPID_TARGET_CONTROL_FLOW_INSTRUCTIONS "")
set(CHIPID_TARGET_ELF_MACHINE "IBM S/390")
set(CHIPID_TARGET_RELEASED ON)
include(${CMAKE_CURRENT_LIST_DIR}/../ChipidCross.cmake)
