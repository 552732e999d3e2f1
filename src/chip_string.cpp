#include "chip_string.h"

std::string lotIdOf(std::string_view chipStr)
{
    return std::string(chipStr.substr(kLotIdPos, kLotIdLen));
}

std::string serialNumOf(std::string_view chipStr)
{
    return std::string(chipStr.substr(kSerialNumPos, kSerialNumLen));
}

void writeSixDigitId(std::ostream& out, std::int32_t lotCode, std::string_view serialNum)
{
    out << lotCode << serialNum;
}
