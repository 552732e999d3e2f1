// libFuzzer target: arbitrary bytes as the chip list. Beyond "no crash", it
// checks that every line of the list yields exactly one record or one
// diagnostic, in order and with its position, that the two streams split
// them as they should, that the exit status agrees with the diagnostics, and
// that a report cut short by a full disk is a clean prefix. The expected
// report comes from the test support's own copy of the columns, the lot
// table, the labels and the messages, never from the code under test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_run.h"
#include "expected.h"
#include "lot_codes.h"
#include "stream_faults.h"

namespace {

void require(bool holds, const char* invariant)
{
    if (!holds) {
        std::fprintf(stderr, "broken invariant: %s\n", invariant);
        std::abort();
    }
}

// Consumes `text` from the front of `rest` if it stands there.
bool take(std::string_view& rest, std::string_view text)
{
    if (rest.substr(0, text.size()) != text) {
        return false;
    }
    rest.remove_prefix(text.size());
    return true;
}

// The list's lines without their line ends: LF ends a line, one CR before
// it belongs to the line end, and a last line needs no LF.
std::vector<std::string_view> splitLines(std::string_view list)
{
    std::vector<std::string_view> lines;
    while (!list.empty()) {
        const std::size_t newline = list.find('\n');
        std::string_view line = list.substr(0, newline);
        list.remove_prefix(newline == std::string_view::npos ? list.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

// The lot code from the tests' copy of the table, or 0 for an unknown lot.
int expectedCode(std::string_view lotId)
{
    for (const auto& [id, code] : expected::kKnownLots) {
        if (lotId == id) {
            return code;
        }
    }
    return 0;
}

struct Split {
    std::string out;
    std::string err;
    bool rejected = false;
};

// Walks the report written with both streams on one, line of the list by
// line, and splits it into what each stream should get on its own.
Split checkSharedReport(const std::vector<std::string_view>& lines, std::string_view rest)
{
    Split split;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string_view chipStr = line.substr(0, line.find('\0'));
        const std::string position = std::string(expected::kNchipsLabel) + std::to_string(i);
        require(take(rest, position), "each line has a record or diagnostic with its position");

        if (take(rest, expected::kTooLong)) {
            require(line.size() > expected::kLineLimit, "only a line over the limit is too long");
            split.err += position + std::string(expected::kTooLong);
            split.rejected = true;
            continue;
        }
        if (take(rest, expected::kTooShort)) {
            require(line.size() <= expected::kLineLimit && chipStr.size() < expected::kSerialNumPos,
                    "only a short chip string is too short");
            split.err += position + std::string(expected::kTooShort);
            split.rejected = true;
            continue;
        }
        require(line.size() <= expected::kLineLimit && chipStr.size() >= expected::kSerialNumPos,
                "every line within the limits is a record");

        const std::string lotId(chipStr.substr(expected::kLotIdPos, expected::kLotIdLen));
        const std::string serialNum(
            chipStr.substr(expected::kSerialNumPos, expected::kSerialNumLen));
        const std::string fields = std::string(expected::kChipStrLabel) + std::string(chipStr) +
                                   std::string(expected::kLotIdLabel) + lotId +
                                   std::string(expected::kSerialNumLabel) + serialNum;
        require(take(rest, fields), "a record has the line's fields in order");
        split.out += position + fields;

        if (const int lotCode = expectedCode(lotId)) {
            const std::string id = std::string(expected::kSixDigitIdLabel) +
                                   std::to_string(lotCode) + serialNum + "\n";
            require(take(rest, id), "a known-lot record ends with its identifier and a newline");
            split.out += id;
        } else {
            require(take(rest, expected::kUnknownLot),
                    "an unknown-lot record ends in its diagnostic");
            split.err += std::string(expected::kUnknownLot);
        }
    }
    require(rest.empty(), "nothing follows the last line's record");
    return split;
}

int convert(const std::string& list, std::ostream& out, std::ostream& err)
{
    std::istringstream chipList(list);
    return convertChipList(buildLotCodes(), chipList, out, err);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string list(reinterpret_cast<const char*>(data), size);

    // Both streams on one, as on a terminal.
    std::ostringstream shared;
    const int status = convert(list, shared, shared);
    const Split split = checkSharedReport(splitLines(list), shared.str());
    require(status == (split.rejected ? 2 : 0),
            "the exit status tells whether any line was rejected");

    // Each stream on its own.
    std::ostringstream out;
    std::ostringstream err;
    require(convert(list, out, err) == status, "the exit status does not depend on the streams");
    require(out.str() == split.out, "standard output holds exactly the records");
    require(err.str() == split.err, "standard error holds exactly the diagnostics");

    // A report that runs out of room somewhere, chosen by the input.
    const std::size_t room = (size * 2654435761U) % (split.out.size() + 1);
    FullWriteBuf fullBuf(room);
    std::ostream full(&fullBuf);
    std::ostringstream fullErr;
    const int fullStatus = convert(list, full, fullErr);
    require(fullBuf.written == split.out.substr(0, room), "a cut report is a prefix of the report");
    if (room == split.out.size()) {
        require(fullStatus == status && fullErr.str() == split.err, "a report that fits is whole");
    } else {
        const std::string message(expected::kCantWrite);
        const std::string& diagnostics = fullErr.str();
        require(fullStatus == 1, "a failed write ends the run with status 1");
        require(diagnostics.size() >= message.size() &&
                    diagnostics.compare(diagnostics.size() - message.size(), message.size(),
                                        message) == 0 &&
                    split.err.compare(0, diagnostics.size() - message.size(), diagnostics, 0,
                                      diagnostics.size() - message.size()) == 0,
                "a failed write is said once, after the diagnostics before it");
    }
    return 0;
}
