#include "lot_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "expected.h"

namespace {

using expected::kKnownLots;

TEST(LotCodes, EveryLotHasItsCode)
{
    SCOPED_TRACE("chipid's table: src/lot_codes.txt; the tests' copy: tests/support/expected.h");
    const LotCodes lotCodes = buildLotCodes();
    EXPECT_EQ(lotCodes.size(), std::size(kKnownLots));
    for (const auto& [lotId, code] : kKnownLots) {
        EXPECT_EQ(lookUpLot(lotCodes, lotId), code) << lotId;
    }
}

// Near misses of every known lot, derived from the tests' own copy of the
// table: whatever lot is added, these stay unknown.
std::vector<std::string> nearMisses()
{
    std::vector<std::string> misses{"", "G35F72.", "G35F72.1 ", " G35F72.", "G35F72.1\r"};
    for (const auto& [lotId, code] : kKnownLots) {
        const std::string id = lotId;
        std::string lower = id;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        misses.push_back(lower);            // case differs
        misses.push_back(id.substr(0, 7));  // one byte short
        misses.push_back(id + "1");         // one byte long
        std::string spaced = id;
        spaced[6] = ' ';  // the dot a space
        misses.push_back(spaced);
        for (char last = '0'; last <= '9'; ++last) {  // the last digit differs
            std::string other = id;
            other.back() = last;
            const bool known = std::any_of(std::begin(kKnownLots), std::end(kKnownLots),
                                           [&](const auto& lot) { return other == lot.first; });
            if (!known) {
                misses.push_back(other);
            }
        }
    }
    return misses;
}

TEST(LotCodes, NearMissesAreAbsent)
{
    const LotCodes lotCodes = buildLotCodes();
    for (const std::string& lotId : nearMisses()) {
        EXPECT_EQ(lookUpLot(lotCodes, lotId), std::nullopt) << lotId;
    }
}

}  // namespace
