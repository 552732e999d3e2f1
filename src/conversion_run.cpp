#include "conversion_run.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "chip_string.h"

namespace {

// Room for a line at the limit, the CR of a CR LF line end, one more byte
// that proves a line too long, and getline's terminating NUL.
constexpr std::size_t kReadBufferSize = kLineLimit + 3;

enum class LineRead { kLine, kTooLong, kEnd, kReadError };

// Reads the next line into `buffer` and sets `length` to its length without
// its line end. A too-long line is skipped up to its newline without being
// held, however long it is.
LineRead readLine(std::istream& chipList, std::array<char, kReadBufferSize>& buffer,
                  std::size_t& length)
{
    chipList.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto extracted = static_cast<std::size_t>(chipList.gcount());
    if (chipList.bad()) {
        return LineRead::kReadError;
    }
    if (extracted == 0 && chipList.eof()) {
        return LineRead::kEnd;
    }
    if (chipList.fail()) {
        // The buffer filled up before the newline.
        chipList.clear();
        chipList.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        return chipList.bad() ? LineRead::kReadError : LineRead::kTooLong;
    }
    // getline counts the newline it consumed; a last line has none.
    length = chipList.eof() ? extracted : extracted - 1;
    if (length > 0 && buffer[length - 1] == '\r') {
        --length;  // the CR of a CR LF line end
    }
    return length > kLineLimit ? LineRead::kTooLong : LineRead::kLine;
}

// Writes one record of the report. Composed first and written at once, it
// takes a third fewer instructions than field by field through the stream.
// Without a lot code the record's line stays open.
void writeRecord(std::ostream& out, std::int64_t nchips, std::string_view chipStr,
                 std::string_view lotId, std::string_view serialNum,
                 std::optional<std::int32_t> lotCode)
{
    std::string record = " nchips ";
    record += std::to_string(nchips);
    record += " chipStr ";
    record += chipStr;
    record += " lot-id ";
    record += lotId;
    record += " serialNum ";
    record += serialNum;
    if (lotCode) {
        record += " 6-digit-id: ";
        appendSixDigitId(record, *lotCode, serialNum);
        record += '\n';
    }
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
}

// Diagnostics are composed first and written at once, so that a line of
// them never splits where the two streams share a pipe. Returns false when
// the diagnostic could not be written.
bool writeDiagnostic(std::ostream& err, std::string_view message)
{
    err.write(message.data(), static_cast<std::streamsize>(message.size()));
    return static_cast<bool>(err);
}

bool writeRejection(std::ostream& err, std::int64_t nchips, std::string_view reason)
{
    std::string message = " nchips ";
    message += std::to_string(nchips);
    message += reason;
    return writeDiagnostic(err, message);
}

// Flushes the report; on failure says so on `err`.
bool flushReport(std::ostream& out, std::ostream& err)
{
    if (out.flush()) {
        return true;
    }
    writeDiagnostic(err, " - can't write to standard output\n");
    return false;
}

}  // namespace

int convertChipList(const LotCodes& lotCodes, std::istream& chipList, std::ostream& out,
                    std::ostream& err)
{
    std::array<char, kReadBufferSize> buffer{};
    std::size_t length = 0;
    std::int64_t nchips = 0;
    bool rejectedAny = false;
    // A diagnostic that cannot be written fails the run, but the report
    // goes on to its end: losing the diagnostics is no reason to lose it.
    bool diagnosticLost = false;

    for (;; ++nchips) {
        const LineRead read = readLine(chipList, buffer, length);
        if (read == LineRead::kEnd) {
            break;
        }
        if (read == LineRead::kReadError) {
            if (flushReport(out, err)) {
                writeDiagnostic(err, " - can't read file for input\n");
            }
            return kExitFailure;
        }

        // A NUL read from the line ends the chip string.
        std::string_view chipStr(buffer.data(), length);
        chipStr = chipStr.substr(0, chipStr.find('\0'));

        if (read == LineRead::kTooLong || chipStr.size() < kMinChipStrLen) {
            if (!flushReport(out, err)) {
                return kExitFailure;
            }
            diagnosticLost |=
                !writeRejection(err, nchips,
                                read == LineRead::kTooLong ? " chip string too long! \n"
                                                           : " chip string too short! \n");
            rejectedAny = true;
            continue;
        }

        const std::string lotId = lotIdOf(chipStr);
        const std::string serialNum = serialNumOf(chipStr);
        const auto lotCode = lookUpLot(lotCodes, lotId);
        writeRecord(out, nchips, chipStr, lotId, serialNum, lotCode);
        if (!flushReport(out, err)) {
            return kExitFailure;
        }
        if (!lotCode) {
            // The record's line stays open on the report.
            diagnosticLost |= !writeDiagnostic(err, " unknown lot! \n");
        }
    }

    if (!flushReport(out, err) || diagnosticLost) {
        return kExitFailure;
    }
    return rejectedAny ? kExitRejectedLines : kExitSuccess;
}
