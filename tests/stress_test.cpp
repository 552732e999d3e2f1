// Runs the chipid executable on very large and randomly generated lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chip_fixtures.h"
#include "expected.h"
#include "run_chipid.h"

namespace {

// Writes `lineBytes` bytes of 'x' with no newline, then `tail`.
void writeHugeLine(const std::filesystem::path& file, std::size_t lineBytes, std::string_view tail)
{
    std::ofstream stream(file, std::ios::binary);
    const std::string chunk(1 << 20, 'x');
    for (std::size_t left = lineBytes; left > 0;) {
        const std::size_t n = std::min(left, chunk.size());
        stream.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    stream << tail;
    ASSERT_TRUE(stream.flush());
}

// A line of 200 MB is skipped, not held: memory stays small and the line
// after it is still converted.
TEST(LargeList, HugeLineIsSkippedInLittleMemory)
{
    constexpr std::size_t kHugeLine = 200'000'000;
    const struct {
        std::string tail;
        std::string out;
    } cases[] = {
        {"", ""},
        {"\n" + kLot72 + "\n", fields(1, kLot72, "G35F72.1", "0042") + sixDigitId("720042")},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeHugeLine(dir.path / "examples.txt", kHugeLine, c.tail);
        const RunResult run = runChipid(dir.path);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, tooLong(0));
        EXPECT_EQ(run.status, 2);
#ifndef CHIPID_SANITIZED  // the sanitizers' own memory would swamp the bound
        // Under wine the peak is wine's process, which also holds the
        // Windows runtime it emulates: about 17 MB on any list; under Node
        // it is Node's, about 55 MB. Every bound is far below the line.
        const long boundMiB = chipidRunsOnWindows() ? 64 : chipidRunsOnWebAssembly() ? 128 : 16;
        EXPECT_LT(run.peakRssKiB, boundMiB * 1024);
#endif
    }
}

// One line past a million, so that the counter reaches seven digits.
TEST(LargeList, MillionLinesAreAllConverted)
{
    constexpr int kLines = 1'000'001;
    TempDir dir;
    {
        std::ofstream list(dir.path / "examples.txt", std::ios::binary);
        for (int i = 0; i < kLines; ++i) {
            list << kLot72 << '\n';
        }
    }
    const RunResult run = runChipid(dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const std::string lastTwo = fields(999'999, kLot72, "G35F72.1", "0042") + sixDigitId("720042") +
                                fields(1'000'000, kLot72, "G35F72.1", "0042") +
                                sixDigitId("720042");
    ASSERT_GE(run.out.size(), lastTwo.size());
    EXPECT_EQ(run.out.substr(run.out.size() - lastTwo.size()), lastTwo);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), kLines);
}

// Random lists of complete chip strings of known and unknown lots: read the
// report back from both streams in one pipe and compare every field with
// what was generated.
TEST(RoundTrip, ReportGivesBackEveryField)
{
    // None has the shape of a lot id: no lot added to the table makes them known.
    constexpr std::string_view kUnknownLots[] = {"G35F86-1", "G35F72 2", "g35f72.1", "X0000000"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        const auto pick = [&random](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
        };
        // Printable bytes, space included, for the columns taken as they are.
        const auto printable = [&](std::size_t n) {
            std::string text;
            for (std::size_t i = 0; i < n; ++i) {
                text += static_cast<char>(' ' + pick(95));
            }
            return text;
        };

        struct Chip {
            std::string chipStr;
            std::string lotId;
            std::string serialNum;
            int code;  // 0 for an unknown lot
        };
        std::vector<Chip> chips(1 + pick(300));
        std::string list;
        for (Chip& chip : chips) {
            const bool known = pick(4) != 0;
            const auto& lot = expected::kKnownLots[pick(std::size(expected::kKnownLots))];
            chip.lotId = known ? lot.first : std::string(kUnknownLots[pick(4)]);
            chip.code = known ? lot.second : 0;
            chip.serialNum = printable(4);
            chip.chipStr = printable(8) + chip.lotId + printable(5) + chip.serialNum;
            list += chip.chipStr + (pick(2) != 0 ? "\n" : "\r\n");
        }

        TempDir dir;
        writeFile(dir.path / "examples.txt", list);
        const RunResult run = runChipid(dir.path, StdoutTo::kStderrPipe);
        ASSERT_EQ(run.status, 0) << "seed " << seed;

        // Fields are read by the labels between them and by their widths.
        std::string_view rest = run.out;
        const auto field = [&rest](std::string_view label, std::size_t width) {
            if (rest.substr(0, label.size()) != label) {
                return std::string("<no ") + std::string(label) + ">";
            }
            rest.remove_prefix(label.size());
            std::string value(rest.substr(0, width));
            rest.remove_prefix(value.size());
            return value;
        };
        for (std::size_t i = 0; i < chips.size(); ++i) {
            const Chip& chip = chips[i];
            const std::string position = std::to_string(i);
            SCOPED_TRACE("seed " + std::to_string(seed) + ", line " + position);
            ASSERT_EQ(field(expected::kNchipsLabel, position.size()), position);
            ASSERT_EQ(field(expected::kChipStrLabel, 25), chip.chipStr);
            ASSERT_EQ(field(expected::kLotIdLabel, 8), chip.lotId);
            ASSERT_EQ(field(expected::kSerialNumLabel, 4), chip.serialNum);
            if (chip.code != 0) {
                ASSERT_EQ(field(expected::kSixDigitIdLabel, 6),
                          std::to_string(chip.code) + chip.serialNum);
                ASSERT_EQ(field("\n", 0), "");
            } else {
                ASSERT_EQ(field(expected::kUnknownLot, 0), "");
            }
        }
        EXPECT_EQ(rest, "") << "seed " << seed;
    }
}

}  // namespace
