#include "lot_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LotCodes, EveryLotHasItsCode)
{
    const LotCodes lotCodes = buildLotCodes();
    const std::pair<const char*, std::int32_t> lots[] = {
        {"G35F72.1", 72}, {"G35F73.1", 73}, {"G35F74.1", 74}, {"G35F75.1", 75}, {"G35F76.1", 76},
        {"G35F77.1", 77}, {"G35F78.1", 78}, {"G35F79.1", 79}, {"G35F80.1", 80}, {"G35F81.1", 81},
        {"G35F82.1", 82}, {"G35F83.1", 83}, {"G35F84.1", 84}, {"G35F85.1", 85}, {"G39B57.1", 57},
        {"G39B58.1", 58}, {"G35F83.2", 99},
    };
    EXPECT_EQ(lotCodes.size(), std::size(lots));
    for (const auto& [lotId, code] : lots) {
        EXPECT_EQ(lookUpLot(lotCodes, lotId), code) << lotId;
    }
}

TEST(LotCodes, NearMissesAreAbsentAndNeverAdded)
{
    const LotCodes lotCodes = buildLotCodes();
    for (const char* lotId : {"g35f72.1", "G35F72.2", "G35F86.1", "G39B57.2", "G35F72 1",
                              " G35F72.", "G35F72.1 ", "G35F72.", "", "G35F72.1\r"}) {
        EXPECT_EQ(lookUpLot(lotCodes, lotId), std::nullopt) << lotId;
    }
    EXPECT_EQ(lotCodes.size(), 17U);
}

}  // namespace
