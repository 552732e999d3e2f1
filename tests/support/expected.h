// What chipid must do, written out apart from the tool's own sources so that
// the tests and the fuzzer compare it against an independent copy: the lots
// and their codes, the columns of a chip string, the report's labels and
// every message. A change to one of these in src/ is made here too.
#ifndef CHIPID_TESTS_EXPECTED_H
#define CHIPID_TESTS_EXPECTED_H

#include <cstddef>
#include <string_view>
#include <utility>

namespace expected {

inline constexpr std::pair<const char*, int> kKnownLots[] = {
    {"G35F72.1", 72}, {"G35F73.1", 73}, {"G35F74.1", 74}, {"G35F75.1", 75}, {"G35F76.1", 76},
    {"G35F77.1", 77}, {"G35F78.1", 78}, {"G35F79.1", 79}, {"G35F80.1", 80}, {"G35F81.1", 81},
    {"G35F82.1", 82}, {"G35F83.1", 83}, {"G35F84.1", 84}, {"G35F85.1", 85}, {"G39B57.1", 57},
    {"G39B58.1", 58}, {"G35F83.2", 99},
};

inline constexpr std::size_t kLineLimit = 25;
inline constexpr std::size_t kLotIdPos = 8;
inline constexpr std::size_t kLotIdLen = 8;
inline constexpr std::size_t kSerialNumPos = 21;
inline constexpr std::size_t kSerialNumLen = 4;

// The labels of a record, in their order.
inline constexpr std::string_view kNchipsLabel = " nchips ";
inline constexpr std::string_view kChipStrLabel = " chipStr ";
inline constexpr std::string_view kLotIdLabel = " lot-id ";
inline constexpr std::string_view kSerialNumLabel = " serialNum ";
inline constexpr std::string_view kSixDigitIdLabel = " 6-digit-id: ";

// Every message, with its newline. A rejection follows " nchips N".
inline constexpr std::string_view kUnknownLot = " unknown lot! \n";
inline constexpr std::string_view kTooShort = " chip string too short! \n";
inline constexpr std::string_view kTooLong = " chip string too long! \n";
inline constexpr std::string_view kCantOpen = " - can't open file for input\n";
inline constexpr std::string_view kCantRead = " - can't read file for input\n";
inline constexpr std::string_view kCantWrite = " - can't write to standard output\n";

}  // namespace expected

#endif
