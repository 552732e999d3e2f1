#include "chip_string.h"

#include <algorithm>
#include <charconv>

char* putSixDigitId(char* out, std::int32_t lotCode, std::string_view serialNum)
{
    out = std::to_chars(out, out + kSixDigitIdMaxLen, lotCode).ptr;
    return std::copy(serialNum.begin(), serialNum.end(), out);
}
