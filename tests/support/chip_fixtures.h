// Chip strings that the tests use again and again, and the report record
// the tool writes for them.
#ifndef CHIPID_TESTS_CHIP_FIXTURES_H
#define CHIPID_TESTS_CHIP_FIXTURES_H

#include <string>

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
    return " nchips " + std::to_string(nchips) + " chipStr " + chipStr + " lot-id " + lotId +
           " serialNum " + serialNum;
}

// The whole record of kLot72 as the first line of a list.
inline const std::string kRec0Lot72 =
    fields(0, kLot72, "G35F72.1", "0042") + " 6-digit-id: 720042\n";

inline const std::string kUnknownLot = " unknown lot! \n";

#endif
