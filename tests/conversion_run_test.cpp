// Stream failures in the middle of a run, which a real file or terminal
// cannot produce on demand.
#include "conversion_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "chip_fixtures.h"
#include "stream_faults.h"

namespace {

TEST(ConversionRun, ReadErrorKeepsTheRecordsBeforeIt)
{
    // The error strikes at a line boundary, in the middle of a line, in the
    // middle of skipping an over-long line, and after a rejected line, whose
    // status 2 it overrides. A line cut short by the error is not converted.
    const struct {
        std::string rest;
        std::string err;
    } cases[] = {
        {"", kCantRead},
        {"W07A", kCantRead},
        {std::string(40, 'x'), kCantRead},
        {"x\n", tooShort(1) + kCantRead},
    };
    for (const ReadFailure how : kEveryReadFailure) {
        for (const auto& c : cases) {
            FailingReadBuf listBuf(kLot72 + "\n" + c.rest, how);
            std::istream chipList(&listBuf);
            std::ostringstream out;
            std::ostringstream err;
            EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 1) << c.rest;
            EXPECT_EQ(out.str(), kRec0Lot72) << c.rest;
            EXPECT_EQ(err.str(), c.err) << c.rest;
        }
    }
}

// A read that fails once, as a flaky disk or network file system may, ends
// the run there: what follows it is not read, even though it could be.
TEST(ConversionRun, ReadErrorMidFileEndsTheRun)
{
    for (const ReadFailure how : kEveryReadFailure) {
        for (const std::string& before : {kLot72 + "\n", kLot72 + "\nW07A"}) {
            FailOnceReadBuf listBuf(before, kLot99 + "\n" + kLot99 + "\n", how);
            std::istream chipList(&listBuf);
            std::ostringstream out;
            std::ostringstream err;
            EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 1) << before;
            EXPECT_EQ(out.str(), kRec0Lot72) << before;
            EXPECT_EQ(err.str(), kCantRead) << before;
        }
    }
}

// errno left set by an earlier call, as a successful one may leave it, is
// no read error: the list ends where its bytes end, with or without a
// final newline.
TEST(ConversionRun, StaleErrnoIsNoReadError)
{
    for (const std::string& last : {kLot99 + "\n", kLot99}) {
        std::istringstream chipList(kLot72 + "\n" + last);
        std::ostringstream out;
        std::ostringstream err;
        errno = ENOTTY;
        EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 0);
        EXPECT_EQ(out.str(), kRec0Lot72 + recLot99(1));
        EXPECT_EQ(err.str(), "");
    }
}

// Every record reaches the report in one write as soon as it is made, not
// when a buffer fills or the run ends, so that a reader sees each chip as it
// is converted.
TEST(ConversionRun, EachRecordIsFlushedWhole)
{
    std::istringstream chipList(kLot72 + "\n" + kUnknown + "\nx\n" + kLot99 + "\n");
    FlushLog outLog;
    std::ostream out(&outLog);
    std::ostringstream err;
    EXPECT_EQ(convertChipList(buildLotCodes(), chipList, out, err), 2);
    const std::vector<std::string> flushed{kRec0Lot72, fields(1, kUnknown, kUnknownLotId, "0555"),
                                           recLot99(3)};
    EXPECT_EQ(outLog.flushed, flushed);
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
    EXPECT_EQ(err.str(), kCantWrite);
}

}  // namespace
