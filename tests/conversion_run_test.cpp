// Stream failures in the middle of a run, which a real file or terminal
// cannot produce on demand.
#include "conversion_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "chip_fixtures.h"
#include "stream_faults.h"

namespace {

TEST(ConversionRun, ReadErrorKeepsTheRecordsBeforeIt)
{
    // The error strikes at a line boundary, in the middle of skipping an
    // over-long line, and after a rejected line, whose status 2 it overrides.
    const struct {
        std::string rest;
        std::string err;
    } cases[] = {
        {"", " - can't read file for input\n"},
        {std::string(40, 'x'), " - can't read file for input\n"},
        {"x\n", " nchips 1 chip string too short! \n - can't read file for input\n"},
    };
    for (const auto& c : cases) {
        FailingReadBuf listBuf(kLot72 + "\n" + c.rest);
        std::istream chipList(&listBuf);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 1) << c.rest;
        EXPECT_EQ(out.str(), kRec0Lot72);
        EXPECT_EQ(err.str(), c.err);
    }
}

TEST(ConversionRun, WriteErrorStopsTheRun)
{
    std::istringstream chipList(kLot72 + "\n" + kLot72 + "\nshort\n");
    FullWriteBuf outBuf(kRec0Lot72.size() + 3);
    std::ostream out(&outBuf);
    std::ostringstream err;
    EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 1);
    EXPECT_EQ(outBuf.written, kRec0Lot72 + " nc");
    // Nothing after the failed record: no diagnostic for the short line.
    EXPECT_EQ(err.str(), " - can't write to standard output\n");
}

}  // namespace
