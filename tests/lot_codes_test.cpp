#include "lot_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
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

using LotList = std::vector<std::pair<std::string, std::int32_t>>;

std::string readSource(const std::string& relativePath)
{
    std::ifstream file(CHIPID_SOURCE_DIR + ("/" + relativePath), std::ios::binary);
    EXPECT_TRUE(file) << "cannot read " << relativePath;
    return {std::istreambuf_iterator<char>(file), {}};
}

// A lot id has six capital letters or digits, a dot and a digit; the tests'
// unknown lots never have that shape, so that no new lot can turn them known.
const char* const kLotIdShape = R"([A-Z0-9]{6}\.[0-9])";

// The (lot id, code) pairs a file lists, sorted: a lot id followed, past
// tabs, spaces, quotes, commas or table bars, by a number. Chip strings and
// example records never have that shape.
LotList listedLots(const std::string& text)
{
    const std::regex pair("(" + std::string(kLotIdShape) + R"()[\t |",]+([0-9]+))");
    LotList lots;
    for (std::sregex_iterator match(text.begin(), text.end(), pair), end; match != end; ++match) {
        lots.emplace_back((*match)[1], std::stoi((*match)[2]));
    }
    std::sort(lots.begin(), lots.end());
    return lots;
}

// Adding or changing a lot means changing every copy of the table with the
// code: the manual page, the README and the benchmarks' programs.
TEST(LotCodes, EveryCopyListsTheTable)
{
    const LotCodes lotCodes = buildLotCodes();
    const LotList table(lotCodes.begin(), lotCodes.end());
    for (const char* copy : {"man/chipid.1.in", "README.md", "bench/chipid.awk", "bench/floor.c"}) {
        EXPECT_EQ(listedLots(readSource(copy)), table) << copy;
    }

    // The list generator names the lot ids only.
    const std::string generator = readSource("bench/make-list.awk");
    const std::regex id(kLotIdShape);
    std::vector<std::string> ids;
    for (std::sregex_iterator match(generator.begin(), generator.end(), id), end; match != end;
         ++match) {
        ids.push_back(match->str());
    }
    std::sort(ids.begin(), ids.end());
    std::vector<std::string> tableIds;
    for (const auto& [lotId, code] : table) {
        tableIds.push_back(lotId);
    }
    EXPECT_EQ(ids, tableIds) << "bench/make-list.awk";
}

// Every "N lots" or "N known lots" that a document states is the table's size.
TEST(LotCodes, DocumentsCountTheLots)
{
    const std::size_t size = buildLotCodes().size();
    const std::regex count(R"((\d+)\s+(known\s+)?lots\b)");
    for (const char* document :
         {"man/chipid.1.in", "README.md", "debian/control", "CONTRIBUTING.md"}) {
        const std::string text = readSource(document);
        int counts = 0;
        for (std::sregex_iterator match(text.begin(), text.end(), count), end; match != end;
             ++match, ++counts) {
            EXPECT_EQ(std::stoul((*match)[1]), size) << document << ": " << match->str();
        }
        EXPECT_GT(counts, 0) << document << " states no count of lots";
    }
}

}  // namespace
