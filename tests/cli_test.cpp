// Runs the chipid executable on fixture lists and compares both streams and
// the exit status byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "chip_fixtures.h"
#include "run_chipid.h"

namespace {

struct ListCase {
    const char* name;
    std::string list;
    std::string out;     // standard output on its own
    std::string err;     // standard error on its own
    std::string shared;  // both streams through one pipe
    int status;
};

std::ostream& operator<<(std::ostream& os, const ListCase& c)
{
    return os << c.name;
}

class ListTest : public testing::TestWithParam<ListCase> {};

TEST_P(ListTest, SeparateStreams)
{
    const ListCase& c = GetParam();
    TempDir dir;
    writeFile(dir.path / "examples.txt", c.list);
    const RunResult run = runChipid(dir.path);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, c.status);
}

TEST_P(ListTest, SharedPipe)
{
    const ListCase& c = GetParam();
    TempDir dir;
    writeFile(dir.path / "examples.txt", c.list);
    const RunResult run = runChipid(dir.path, StdoutTo::kStderrPipe);
    EXPECT_EQ(run.out, c.shared);
    EXPECT_EQ(run.status, c.status);
}

const std::string k25 = kLot72;                           // at the line limit
const std::string k26 = kLot72 + "9";                     // one byte over
const std::string k21 = kLot99.substr(0, 21);             // no serial number left
const std::string k22 = kLot99.substr(0, 22);             // one serial digit
const std::string k20 = kLot99.substr(0, 20);             // too short
const std::string kLetters = "W01X0001G35F83.1Z9-99A b";  // serial "A b"

INSTANTIATE_TEST_SUITE_P(
    Lists, ListTest,
    testing::Values(
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
                 fields(0, "W01X0001g35f72.1A1-030042", "g35f72.1", "0042") + kUnknownLot, 0}),
    [](const testing::TestParamInfo<ListCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(ChipList, ArgumentsAreIgnored)
{
    TempDir dir;
    writeFile(dir.path / "examples.txt", kLot72 + "\n");
    RunOptions options;
    options.args = {"--help", "other.txt"};
    const RunResult run = runChipid(dir.path, options);
    EXPECT_EQ(run.out, kRec0Lot72);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

// The list cannot be opened: one message, nothing on standard output.
TEST(ChipList, MissingOrDangling)
{
    TempDir dir;
    const RunResult missing = runChipid(dir.path);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, kCantOpen);
    EXPECT_EQ(missing.status, 1);

    std::filesystem::create_symlink("nowhere.txt", dir.path / "examples.txt");
    const RunResult dangling = runChipid(dir.path);
    EXPECT_EQ(dangling.out, "");
    EXPECT_EQ(dangling.err, kCantOpen);
    EXPECT_EQ(dangling.status, 1);
}

// A directory opens but cannot be read. Windows does not open a directory
// as a file at all: there the open fails.
TEST(ChipList, DirectoryCannotBeRead)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path / "examples.txt");
    const RunResult run = runChipid(dir.path);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, chipidRunsOnWindows() ? kCantOpen : kCantRead);
    EXPECT_EQ(run.status, 1);
}

class UnwritableReport : public testing::TestWithParam<StdoutTo> {};

// Whether the first failing write is a known-lot record or an unknown-lot
// record held back for its diagnostic, the run stops there; a line rejected
// before it does not turn the failure into status 2.
TEST_P(UnwritableReport, FailsAtTheFirstRecord)
{
    const struct {
        std::string list;
        std::string err;
    } cases[] = {
        {kLot72 + "\n" + kLot99 + "\nshort\n", kCantWrite},
        {kUnknown + "\n" + kLot99 + "\nshort\n", kCantWrite},
        {"x\n" + kLot72 + "\n", tooShort(0) + kCantWrite},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir.path / "examples.txt", c.list);
        const RunResult run = runChipid(dir.path, GetParam());
        EXPECT_EQ(run.err, c.err) << c.list;
        EXPECT_EQ(run.status, 1) << c.list;
    }
}

INSTANTIATE_TEST_SUITE_P(Report, UnwritableReport,
                         testing::Values(StdoutTo::kDevFull, StdoutTo::kClosed),
                         testing::PrintToStringParamName());

// With nothing to write, a full or closed standard output is no failure.
TEST(ChipList, EmptyListToUnwritableReport)
{
    TempDir dir;
    writeFile(dir.path / "examples.txt", "");
    EXPECT_EQ(runChipid(dir.path, StdoutTo::kDevFull).status, 0);
    EXPECT_EQ(runChipid(dir.path, StdoutTo::kClosed).status, 0);
}

struct StreamsCase {
    StdoutTo stdoutTo;
    StderrTo stderrTo;
};

std::ostream& operator<<(std::ostream& os, const StreamsCase& c)
{
    return os << "Stdout" << c.stdoutTo << "Stderr" << c.stderrTo;
}

class UnwritableDiagnostics : public testing::TestWithParam<StreamsCase> {};

// A diagnostic that cannot be written fails the run with status 1, whatever
// it was, but the report on standard output is still whole.
TEST_P(UnwritableDiagnostics, FailTheRunButKeepTheReport)
{
    const struct {
        const char* name;
        std::string list;
        std::string out;
        int status;
    } cases[] = {
        {"unknown lot", kLot72 + "\n" + kUnknown + "\n" + kLot99 + "\n",
         kRec0Lot72 + fields(1, kUnknown, kUnknownLotId, "0555") + recLot99(2), 1},
        {"too short", kLot72 + "\nshort\n" + kLot99 + "\n", kRec0Lot72 + recLot99(2), 1},
        {"too long", kLot72 + "\n" + kLot72 + "9\n" + kLot99 + "\n", kRec0Lot72 + recLot99(2), 1},
        // Nothing to say, nothing lost.
        {"known lots only", kLot72 + "\n", kRec0Lot72, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir.path / "examples.txt", c.list);
        RunOptions options;
        options.stdoutTo = GetParam().stdoutTo;
        options.stderrTo = GetParam().stderrTo;
        const RunResult run = runChipid(dir.path, options);
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Stderr, UnwritableDiagnostics,
                         testing::Values(StreamsCase{StdoutTo::kOwnPipe, StderrTo::kDevFull},
                                         StreamsCase{StdoutTo::kOwnPipe, StderrTo::kClosed},
                                         StreamsCase{StdoutTo::kFile, StderrTo::kDevFull},
                                         StreamsCase{StdoutTo::kFile, StderrTo::kClosed}),
                         testing::PrintToStringParamName());

}  // namespace
