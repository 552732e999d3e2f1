// Layout of a chip string: one line of the chip list, fixed columns
// counted from 0, and the six-digit identifier made from its fields.
#ifndef CHIPID_CHIP_STRING_H
#define CHIPID_CHIP_STRING_H

#include <cstddef>
#include <cstdint>
#include <string>
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

// The lot id, columns 8-15. `chipStr` must hold at least kMinChipStrLen bytes.
std::string lotIdOf(std::string_view chipStr);

// The serial number, columns 21-24, shorter when the chip string ends
// earlier. `chipStr` must hold at least kMinChipStrLen bytes.
std::string serialNumOf(std::string_view chipStr);

// Appends the six-digit identifier to a report record: the lot code in
// decimal, then the serial number unchanged.
void appendSixDigitId(std::string& record, std::int32_t lotCode, std::string_view serialNum);

#endif
