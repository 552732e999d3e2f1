// The conversion run: reads a chip list line by line and writes, for every
// line, one report record on `out` or one diagnostic on `err`.
#ifndef CHIPID_CONVERSION_RUN_H
#define CHIPID_CONVERSION_RUN_H

#include <istream>
#include <ostream>

#include "lot_codes.h"

// Every line became a record, of a known lot or not.
inline constexpr int kExitSuccess = 0;
// The list could not be opened or read, or the report or a diagnostic could
// not be written.
inline constexpr int kExitFailure = 1;
// The list was read to its end, but some lines were too short or too long.
inline constexpr int kExitRejectedLines = 2;

// Converts every line of `chipList` and returns the exit status.
// Sets unitbuf on `out`: every record is flushed as it is written, before
// anything is written to `err`, so that where both reach one destination
// every record reads as one line, diagnostics included.
int convertChipList(const LotCodes& lotCodes, std::istream& chipList, std::ostream& out,
                    std::ostream& err);

#endif
