// Runs the chipid executable on the command-line cases (cli_cases.cpp), on
// a missing or unreadable list and with its streams failing, and compares
// both streams and the exit status byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "chip_fixtures.h"
#include "cli_cases.h"
#include "run_chipid.h"

std::ostream& operator<<(std::ostream& os, const ListCase& c)
{
    return os << c.name;
}

namespace {

// Where a difference comes from: chipid's texts and lots are stated in
// src/, the tests' own copy in tests/support/expected.h.
constexpr const char* kSources =
    "chipid's labels, messages and lots: src/report_texts.txt and src/lot_codes.txt; "
    "the tests' copy: tests/support/expected.h";

class ListTest : public testing::TestWithParam<ListCase> {};

TEST_P(ListTest, SeparateStreams)
{
    SCOPED_TRACE(kSources);
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
    SCOPED_TRACE(kSources);
    const ListCase& c = GetParam();
    TempDir dir;
    writeFile(dir.path / "examples.txt", c.list);
    const RunResult run = runChipid(dir.path, StdoutTo::kStderrPipe);
    EXPECT_EQ(run.out, c.shared);
    EXPECT_EQ(run.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Lists, ListTest, testing::ValuesIn(listCases()),
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
        // A diagnostic that failed leaves errno set; a last line without
        // a newline after it is still a line, not a read error.
        {"too short, then a last line without newline", kLot72 + "\nx\n" + kLot99,
         kRec0Lot72 + recLot99(2), 1},
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
