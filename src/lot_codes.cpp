#include "lot_codes.h"

#include "chipid_facts.h"

LotCodes buildLotCodes()
{
    // The table is src/lot_codes.txt, which the build turns into
    // CHIPID_LOT_CODES.
    return LotCodes{CHIPID_LOT_CODES};
}

std::optional<std::int32_t> lookUpLot(const LotCodes& lotCodes, std::string_view lotId)
{
    const auto entry = lotCodes.find(lotId);
    if (entry == lotCodes.end()) {
        return std::nullopt;
    }
    return entry->second;
}
