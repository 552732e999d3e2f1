// Stream failures in the middle of a run, which a real file or terminal
// cannot produce on demand.
#include "conversion_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "stream_faults.h"

namespace {

const std::string kLot72 = "W07A0312G35F72.1A1-030042";
const std::string kRecord0 =
    " nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: "
    "720042\n";

TEST(ConversionRun, ReadErrorKeepsTheRecordsBeforeIt)
{
    // The error strikes at a line boundary and in the middle of skipping
    // an over-long line.
    for (const std::string& rest : {std::string(), std::string(40, 'x')}) {
        FailingReadBuf listBuf(kLot72 + "\n" + rest);
        std::istream chipList(&listBuf);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), kExitFailure);
        EXPECT_EQ(out.str(), kRecord0);
        EXPECT_EQ(err.str(), " - can't read file for input\n");
    }
}

TEST(ConversionRun, WriteErrorStopsTheRun)
{
    std::istringstream chipList(kLot72 + "\n" + kLot72 + "\nshort\n");
    FullWriteBuf outBuf(kRecord0.size() + 3);
    std::ostream out(&outBuf);
    std::ostringstream err;
    EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), kExitFailure);
    EXPECT_EQ(outBuf.written, kRecord0 + " nc");
    // Nothing after the failed record: no diagnostic for the short line.
    EXPECT_EQ(err.str(), " - can't write to standard output\n");
}

}  // namespace
