// Chip strings that the tests use again and again, and the report records
// and diagnostics the tool writes for them, built from the test support's
// own copy of the labels and messages.
#ifndef CHIPID_TESTS_CHIP_FIXTURES_H
#define CHIPID_TESTS_CHIP_FIXTURES_H

#include <string>

#include "expected.h"

// G35F72.1 is lot 72, G35F83.2 is lot 99. The unknown lot's id has a hyphen
// where every lot id has its dot, so that no lot added to the table can
// make it known.
inline const std::string kLot72 = "W07A0312G35F72.1A1-030042";
inline const std::string kLot99 = "W08C0023G35F83.2C4-080007";
inline const std::string kUnknownLotId = "G41K12-1";
inline const std::string kUnknown = "W09D0103" + kUnknownLotId + "D1-020555";

// The fields of one record, up to and including the serial number.
inline std::string fields(long long nchips, const std::string& chipStr, const std::string& lotId,
                          const std::string& serialNum)
{
    using namespace expected;
    return std::string(kNchipsLabel) + std::to_string(nchips) + std::string(kChipStrLabel) +
           chipStr + std::string(kLotIdLabel) + lotId + std::string(kSerialNumLabel) + serialNum;
}

// The end of a known lot's record: its identifier, given as the code in
// decimal followed by the serial number, and the newline.
inline std::string sixDigitId(const std::string& id)
{
    return std::string(expected::kSixDigitIdLabel) + id + "\n";
}

// The whole record of kLot72 as the first line of a list; of kLot99 at
// position `nchips`.
inline const std::string kRec0Lot72 = fields(0, kLot72, "G35F72.1", "0042") + sixDigitId("720042");
inline std::string recLot99(long long nchips)
{
    return fields(nchips, kLot99, "G35F83.2", "0007") + sixDigitId("990007");
}

inline const std::string kUnknownLot(expected::kUnknownLot);
inline const std::string kCantOpen(expected::kCantOpen);
inline const std::string kCantRead(expected::kCantRead);
inline const std::string kCantWrite(expected::kCantWrite);

// The diagnostics of a rejected line at position `nchips`.
inline std::string tooShort(long long nchips)
{
    return std::string(expected::kNchipsLabel) + std::to_string(nchips) +
           std::string(expected::kTooShort);
}
inline std::string tooLong(long long nchips)
{
    return std::string(expected::kNchipsLabel) + std::to_string(nchips) +
           std::string(expected::kTooLong);
}

#endif
