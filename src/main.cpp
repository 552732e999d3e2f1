// chipid: converts the chip strings listed in examples.txt, in the current
// directory, into six-digit chip identifiers. Takes no arguments.
#include <fstream>
#include <iostream>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

#include "chipid_facts.h"
#include "conversion_run.h"
#include "lot_codes.h"

int main()
{
#ifdef _WIN32
    // Windows' C runtime writes CR LF for every LF in text mode: in binary
    // mode the report and the diagnostics are the same bytes as elsewhere.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    // The C++ streams write through buffers of their own rather than C's
    // stdio: the same write per flushed record, fewer instructions. Each
    // record is still flushed, and standard error still flushes standard
    // output before it writes.
    std::ios::sync_with_stdio(false);
    const LotCodes lotCodes = buildLotCodes();

    std::ifstream chipList("examples.txt", std::ios::binary);
    if (!chipList) {
        std::cerr << CHIPID_CANT_OPEN;
        return kExitFailure;
    }
    return convertChipList(lotCodes, chipList, std::cout, std::cerr);
}
