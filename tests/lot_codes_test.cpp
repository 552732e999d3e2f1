#include "lot_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

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

using LotList = std::vector<std::pair<std::string, std::int32_t>>;

// The (lot id, code) pairs a document lists, sorted: a lot id (six letters
// or digits, a dot, a digit) followed, past tabs, spaces or table bars, by a
// number. Chip strings and example records never have that shape.
LotList documentedLots(const std::string& path)
{
    std::ifstream file(path);
    EXPECT_TRUE(file) << "cannot read " << path;
    const std::regex pair(R"(([A-Z0-9]{6}\.[0-9])[\t |]+([0-9]+))");
    LotList lots;
    for (std::string line; std::getline(file, line);) {
        for (std::sregex_iterator match(line.begin(), line.end(), pair), end; match != end;
             ++match) {
            lots.emplace_back((*match)[1], std::stoi((*match)[2]));
        }
    }
    std::sort(lots.begin(), lots.end());
    return lots;
}

// Adding or changing a lot means changing the documents with the code.
TEST(LotCodes, DocumentsListTheTable)
{
    const LotCodes lotCodes = buildLotCodes();
    const LotList table(lotCodes.begin(), lotCodes.end());
    for (const char* document : {"/man/chipid.1.in", "/README.md"}) {
        EXPECT_EQ(documentedLots(CHIPID_SOURCE_DIR + std::string(document)), table) << document;
    }
}

}  // namespace
