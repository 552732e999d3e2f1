#include "lot_codes.h"

#include <gtest/gtest.h>

#include <string>

#include "known_lots.h"

namespace {

TEST(LotCodes, EveryLotHasItsCode)
{
    const LotCodes lotCodes = buildLotCodes();
    EXPECT_EQ(lotCodes.size(), std::size(kKnownLots));
    for (const auto& [lotId, code] : kKnownLots) {
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
