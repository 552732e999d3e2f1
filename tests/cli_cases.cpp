#include "cli_cases.h"

#include "chip_fixtures.h"

namespace {

const std::string k25 = kLot72;                           // at the line limit
const std::string k26 = kLot72 + "9";                     // one byte over
const std::string k21 = kLot99.substr(0, 21);             // no serial number left
const std::string k22 = kLot99.substr(0, 22);             // one serial digit
const std::string k20 = kLot99.substr(0, 20);             // too short
const std::string kLetters = "W01X0001G35F83.1Z9-99A b";  // serial "A b"

}  // namespace

const std::vector<ListCase>& listCases()
{
    static const std::vector<ListCase> cases{

        ListCase{"empty", "", "", "", "", 0},
        ListCase{"known lots", kLot72 + "\n" + kLot99 + "\n", kRec0Lot72 + recLot99(1), "",
                 kRec0Lot72 + recLot99(1), 0},
        // An unknown lot leaves its record's line open on standard output;
        // through one pipe the diagnostic closes it.
        ListCase{"unknown, unknown, known", kUnknown + "\n" + kUnknown + "\n" + kLot72 + "\n",
                 fields(0, kUnknown, kUnknownLotId, "0555") +
                     fields(1, kUnknown, kUnknownLotId, "0555") +
                     fields(2, kLot72, "G35F72.1", "0042") + sixDigitId("720042"),
                 kUnknownLot + kUnknownLot,
                 fields(0, kUnknown, kUnknownLotId, "0555") + kUnknownLot +
                     fields(1, kUnknown, kUnknownLotId, "0555") + kUnknownLot +
                     fields(2, kLot72, "G35F72.1", "0042") + sixDigitId("720042"),
                 0},
        ListCase{"unknown lot last", kLot72 + "\n" + kUnknown + "\n",
                 kRec0Lot72 + fields(1, kUnknown, kUnknownLotId, "0555"), kUnknownLot,
                 kRec0Lot72 + fields(1, kUnknown, kUnknownLotId, "0555") + kUnknownLot, 0},
        ListCase{"same chip twice", kLot72 + "\n" + kLot72 + "\n",
                 kRec0Lot72 + fields(1, kLot72, "G35F72.1", "0042") + sixDigitId("720042"), "",
                 kRec0Lot72 + fields(1, kLot72, "G35F72.1", "0042") + sixDigitId("720042"), 0},
        // A rejected line keeps its position and the run goes on.
        ListCase{"too long, then valid", k26 + "\n" + k25 + "\n",
                 fields(1, k25, "G35F72.1", "0042") + sixDigitId("720042"), tooLong(0),
                 tooLong(0) + fields(1, k25, "G35F72.1", "0042") + sixDigitId("720042"), 2},
        // Longer than the read buffer: the rest is skipped up to its LF, not
        // up to some other byte, and the next line is converted.
        ListCase{"too long past the read buffer, then valid",
                 std::string(40, 'x') + "\n" + kLot72 + "\n",
                 fields(1, kLot72, "G35F72.1", "0042") + sixDigitId("720042"), tooLong(0),
                 tooLong(0) + fields(1, kLot72, "G35F72.1", "0042") + sixDigitId("720042"), 2},
        ListCase{"too short and empty", k20 + "\n\n" + k21 + "\n" + k22 + "\n",
                 fields(2, k21, "G35F83.2", "") + sixDigitId("99") +
                     fields(3, k22, "G35F83.2", "0") + sixDigitId("990"),
                 tooShort(0) + tooShort(1),
                 tooShort(0) + tooShort(1) + fields(2, k21, "G35F83.2", "") + sixDigitId("99") +
                     fields(3, k22, "G35F83.2", "0") + sixDigitId("990"),
                 2},
        // The diagnostic waits for the open record line before it.
        ListCase{"unknown lot, then too short", kUnknown + "\nx\n",
                 fields(0, kUnknown, kUnknownLotId, "0555"), kUnknownLot + tooShort(1),
                 fields(0, kUnknown, kUnknownLotId, "0555") + kUnknownLot + tooShort(1), 2},
        ListCase{"last line without newline", kLot72 + "\n" + kLot99, kRec0Lot72 + recLot99(1), "",
                 kRec0Lot72 + recLot99(1), 0},
        // A last line too short is still a line, even of one byte.
        ListCase{"one-byte last line without newline", kLot72 + "\nx", kRec0Lot72, tooShort(1),
                 kRec0Lot72 + tooShort(1), 2},
        ListCase{"too long last line without newline", kLot72 + "\n" + std::string(1000, 'x'),
                 kRec0Lot72, tooLong(1), kRec0Lot72 + tooLong(1), 2},
        // One CR before the line end belongs to it, at the end of the file too.
        ListCase{"CR LF line ends", kLot72 + "\r\n" + kLot99 + "\r", kRec0Lot72 + recLot99(1), "",
                 kRec0Lot72 + recLot99(1), 0},
        ListCase{"CR LF after an over-long line", k26 + "\r\n", "", tooLong(0), tooLong(0), 2},
        // Only one CR is the line end's; another is an ordinary byte.
        ListCase{"two CRs", k22 + "\r\r\n",
                 fields(0, k22 + "\r", "G35F83.2", "0\r") + sixDigitId("990\r"), "",
                 fields(0, k22 + "\r", "G35F83.2", "0\r") + sixDigitId("990\r"), 0},
        // A NUL ends the chip string but not the line: the line still
        // counts against the limit.
        ListCase{"NUL in the serial number",
                 k22 + std::string(1, '\0') + "99\n" + k25 + '\0' + "\n",
                 fields(0, k22, "G35F83.2", "0") + sixDigitId("990"), tooLong(1),
                 fields(0, k22, "G35F83.2", "0") + sixDigitId("990") + tooLong(1), 2},
        // The first NUL ends it, not a later one.
        ListCase{"two NULs in one line", k21 + '\0' + "9" + '\0' + "\n",
                 fields(0, k21, "G35F83.2", "") + sixDigitId("99"), "",
                 fields(0, k21, "G35F83.2", "") + sixDigitId("99"), 0},
        // A NUL first leaves an empty chip string, whatever follows it.
        ListCase{"NUL in column 0", '\0' + kLot72.substr(1) + "\n", "", tooShort(0), tooShort(0),
                 2},
        ListCase{"NUL before the serial number", k20 + std::string(1, '\0') + "0042\n", "",
                 tooShort(0), tooShort(0), 2},
        ListCase{"letters and spaces in the serial number", kLetters + "\n",
                 fields(0, kLetters, "G35F83.1", "A b") + sixDigitId("83A b"), "",
                 fields(0, kLetters, "G35F83.1", "A b") + sixDigitId("83A b"), 0},
        ListCase{"lot id in lower case", "W01X0001g35f72.1A1-030042\n",
                 fields(0, "W01X0001g35f72.1A1-030042", "g35f72.1", "0042"), kUnknownLot,
                 fields(0, "W01X0001g35f72.1A1-030042", "g35f72.1", "0042") + kUnknownLot, 0}};
    return cases;
}
