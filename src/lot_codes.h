// The lot code table: the lots this tool knows and their two-digit codes.
#ifndef CHIPID_LOT_CODES_H
#define CHIPID_LOT_CODES_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Lot id to lot code; std::less<> lets a lot id be looked up as a view.
using LotCodes = std::map<std::string, std::int32_t, std::less<>>;

LotCodes buildLotCodes();

// The code of the lot whose id equals `lotId` byte for byte, if any.
// Never adds an entry.
std::optional<std::int32_t> lookUpLot(const LotCodes& lotCodes, std::string_view lotId);

#endif
