// The lots chipid must know and the columns of a chip string, written out
// apart from the tool's own table and header so that tests compare against
// an independent copy.
#ifndef CHIPID_TESTS_KNOWN_LOTS_H
#define CHIPID_TESTS_KNOWN_LOTS_H

#include <cstddef>
#include <utility>

inline constexpr std::pair<const char*, int> kKnownLots[] = {
    {"G35F72.1", 72}, {"G35F73.1", 73}, {"G35F74.1", 74}, {"G35F75.1", 75}, {"G35F76.1", 76},
    {"G35F77.1", 77}, {"G35F78.1", 78}, {"G35F79.1", 79}, {"G35F80.1", 80}, {"G35F81.1", 81},
    {"G35F82.1", 82}, {"G35F83.1", 83}, {"G35F84.1", 84}, {"G35F85.1", 85}, {"G39B57.1", 57},
    {"G39B58.1", 58}, {"G35F83.2", 99},
};

namespace expected {
inline constexpr std::size_t kLineLimit = 25;
inline constexpr std::size_t kLotIdPos = 8;
inline constexpr std::size_t kLotIdLen = 8;
inline constexpr std::size_t kSerialNumPos = 21;
inline constexpr std::size_t kSerialNumLen = 4;
}  // namespace expected

#endif
