// Layout of a chip string: one line of the chip list, fixed columns
// counted from 0, and the six-digit identifier made from its fields.
#ifndef CHIPID_CHIP_STRING_H
#define CHIPID_CHIP_STRING_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

// Longest line, in bytes before its line end, that the chip list may hold.
inline constexpr std::size_t kLineLimit = 25;

// Columns 0-7 and 16-20 are not interpreted.
inline constexpr std::size_t kLotIdPos = 8;
inline constexpr std::size_t kLotIdLen = 8;
inline constexpr std::size_t kSerialNumPos = 21;
inline constexpr std::size_t kSerialNumLen = 4;

// The shortest chip string that has both fields: the serial number may be
// cut short by the end of the string, the lot id never is.
inline constexpr std::size_t kMinChipStrLen = kSerialNumPos;

// The longest six-digit identifier: any lot code in decimal, sign
// included, then a whole serial number.
inline constexpr std::size_t kSixDigitIdMaxLen =
    std::numeric_limits<std::int32_t>::digits10 + 2 + kSerialNumLen;

// The fields are views into `chipStr`, which must hold at least
// kMinChipStrLen bytes and outlive them.

// The lot id, columns 8-15.
constexpr std::string_view lotIdOf(std::string_view chipStr)
{
    return chipStr.substr(kLotIdPos, kLotIdLen);
}

// The serial number, columns 21-24, shorter when the chip string ends
// earlier.
constexpr std::string_view serialNumOf(std::string_view chipStr)
{
    return chipStr.substr(kSerialNumPos, kSerialNumLen);
}

// Writes the six-digit identifier at `out`, which has room for
// kSixDigitIdMaxLen bytes: the lot code in decimal, then `serialNum`
// (at most kSerialNumLen bytes) unchanged. Returns the end of what it wrote.
char* putSixDigitId(char* out, std::int32_t lotCode, std::string_view serialNum);

#endif
