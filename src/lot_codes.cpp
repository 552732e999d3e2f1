#include "lot_codes.h"

LotCodes buildLotCodes()
{
    // The codes are data, not derived from the ids: G35F83.2 is 99.
    return LotCodes{
        {"G35F72.1", 72}, {"G35F73.1", 73}, {"G35F74.1", 74}, {"G35F75.1", 75}, {"G35F76.1", 76},
        {"G35F77.1", 77}, {"G35F78.1", 78}, {"G35F79.1", 79}, {"G35F80.1", 80}, {"G35F81.1", 81},
        {"G35F82.1", 82}, {"G35F83.1", 83}, {"G35F84.1", 84}, {"G35F85.1", 85}, {"G39B57.1", 57},
        {"G39B58.1", 58}, {"G35F83.2", 99},
    };
}

std::optional<std::int32_t> lookUpLot(const LotCodes& lotCodes, std::string_view lotId)
{
    const auto entry = lotCodes.find(lotId);
    if (entry == lotCodes.end()) {
        return std::nullopt;
    }
    return entry->second;
}
