#include "chip_string.h"

std::string lotIdOf(std::string_view chipStr)
{
    return std::string(chipStr.substr(kLotIdPos, kLotIdLen));
}

std::string serialNumOf(std::string_view chipStr)
{
    return std::string(chipStr.substr(kSerialNumPos, kSerialNumLen));
}

void appendSixDigitId(std::string& record, std::int32_t lotCode, std::string_view serialNum)
{
    record += std::to_string(lotCode);
    record += serialNum;
}
