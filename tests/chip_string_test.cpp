#include "chip_string.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace {

struct FieldCase {
    std::string chipStr;
    std::string lotId;
    std::string serialNum;
};

// Test names and failure messages show the chip string, control bytes
// escaped, rather than the bytes of the object.
void PrintTo(const FieldCase& c, std::ostream* os)
{
    *os << testing::PrintToString(c.chipStr);
}

std::string caseName(const testing::TestParamInfo<FieldCase>& info)
{
    std::string name = std::to_string(info.index) + "_";
    for (const char ch : info.param.chipStr) {
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    }
    return name;
}

class FieldsTest : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldsTest, TakesFieldsByPosition)
{
    const FieldCase& c = GetParam();
    EXPECT_EQ(lotIdOf(c.chipStr), c.lotId);
    EXPECT_EQ(serialNumOf(c.chipStr), c.serialNum);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, FieldsTest,
    testing::Values(FieldCase{"W07A0312G35F72.1A1-030042", "G35F72.1", "0042"},
                    // Cut short: the serial number shrinks, the lot id does not.
                    FieldCase{"W07A0312G35F72.1A1-03", "G35F72.1", ""},
                    FieldCase{"W07A0312G35F72.1A1-030", "G35F72.1", "0"},
                    FieldCase{"W07A0312G35F72.1A1-0300", "G35F72.1", "00"},
                    // Nothing is validated, trimmed or folded.
                    FieldCase{"        g35 72.1     A b\r", "g35 72.1", "A b\r"},
                    FieldCase{"0123456789ABCDEFGHIJKLMNO", "89ABCDEF", "LMNO"}),
    caseName);

TEST(SixDigitId, CodeThenSerialNumberUnchanged)
{
    const struct {
        std::int32_t lotCode;
        std::string serialNum;
        std::string id;
    } cases[] = {{72, "0042", "720042"},
                 {99, "0007", "990007"},
                 {57, "", "57"},
                 {83, "A b", "83A b"},
                 // The longest: room for any code with a whole serial number.
                 {-2147483647 - 1, "0042", "-21474836480042"}};
    for (const auto& c : cases) {
        // The longest identifier is 15 bytes: a 32-bit code with its sign
        // and a whole serial number. Bytes past it stay as they were.
        std::string record(16, '#');
        char* const end = putSixDigitId(record.data(), c.lotCode, c.serialNum);
        EXPECT_EQ(record.substr(0, end - record.data()), c.id);
        EXPECT_EQ(record.substr(c.id.size()), std::string(record.size() - c.id.size(), '#'));
    }
}

}  // namespace
