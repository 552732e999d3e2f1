#include "conversion_run.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "chip_string.h"
#include "chipid_facts.h"

namespace {

// Room for a line at the limit, the CR of a CR LF line end and getline's
// terminating NUL. A longer line either fills the buffer before its newline
// or leaves more than the limit in it once the CR is taken off.
constexpr std::size_t kReadBufferSize = kLineLimit + 2;

enum class LineRead : std::uint8_t { kLine, kTooLong, kEnd, kReadError };

// Whether the last read from the chip list failed. libstdc++ sets the bad
// bit; libc++ reports a failed read (of a directory, say) as end of file,
// and only errno, cleared before each line is read, tells the two apart.
bool readFailed(const std::istream& chipList)
{
    return chipList.bad() || (chipList.eof() && errno != 0);
}

// Reads the next line into `buffer` and sets `length` to its length without
// its line end. A too-long line is skipped up to its newline without being
// held, however long it is.
LineRead readLine(std::istream& chipList, std::array<char, kReadBufferSize>& buffer,
                  std::size_t& length)
{
    errno = 0;
    chipList.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()), '\n');
    const auto extracted = static_cast<std::size_t>(chipList.gcount());
    if (readFailed(chipList)) {
        return LineRead::kReadError;
    }
    if (extracted == 0 && chipList.eof()) {
        return LineRead::kEnd;
    }
    if (chipList.fail()) {
        // The buffer filled up before the newline.
        chipList.clear();
        chipList.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        return readFailed(chipList) ? LineRead::kReadError : LineRead::kTooLong;
    }
    // getline counts the newline it consumed; a last line has none.
    length = chipList.eof() ? extracted : extracted - 1;
    if (length > 0 && buffer[length - 1] == '\r') {
        --length;  // the CR of a CR LF line end
    }
    return length > kLineLimit ? LineRead::kTooLong : LineRead::kLine;
}

// The fixed texts of a record and of a rejection, from src/report_texts.txt.
constexpr std::string_view kNchipsLabel = CHIPID_NCHIPS_LABEL;
constexpr std::string_view kChipStrLabel = CHIPID_CHIPSTR_LABEL;
constexpr std::string_view kLotIdLabel = CHIPID_LOT_ID_LABEL;
constexpr std::string_view kSerialNumLabel = CHIPID_SERIALNUM_LABEL;
constexpr std::string_view kSixDigitIdLabel = CHIPID_SIX_DIGIT_ID_LABEL;
constexpr std::string_view kTooShort = CHIPID_TOO_SHORT;
constexpr std::string_view kTooLong = CHIPID_TOO_LONG;

// The longest line counter in decimal, sign included.
constexpr std::size_t kCountMaxLen = std::numeric_limits<std::int64_t>::digits10 + 2;

// The longest record: every field at its longest, and the newline.
constexpr std::size_t kRecordCapacity = kNchipsLabel.size() + kCountMaxLen + kChipStrLabel.size() +
                                        kLineLimit + kLotIdLabel.size() + kLotIdLen +
                                        kSerialNumLabel.size() + kSerialNumLen +
                                        kSixDigitIdLabel.size() + kSixDigitIdMaxLen + 1;
static_assert(kNchipsLabel.size() + kCountMaxLen + kTooShort.size() <= kRecordCapacity &&
              kNchipsLabel.size() + kCountMaxLen + kTooLong.size() <= kRecordCapacity);

// Records and rejections are composed here before they are written, so
// that the run allocates nothing per line.
using RecordBuffer = std::array<char, kRecordCapacity>;

char* put(char* at, std::string_view text)
{
    return std::copy(text.begin(), text.end(), at);
}

char* putCount(char* at, std::int64_t nchips)
{
    return std::to_chars(at, at + kCountMaxLen, nchips).ptr;
}

// Writes one record of the report, composed first and written at once.
// Without a lot code the record's line stays open.
void writeRecord(std::ostream& out, RecordBuffer& record, std::int64_t nchips,
                 std::string_view chipStr, std::string_view lotId, std::string_view serialNum,
                 std::optional<std::int32_t> lotCode)
{
    char* end = putCount(put(record.data(), kNchipsLabel), nchips);
    end = put(put(end, kChipStrLabel), chipStr);
    end = put(put(end, kLotIdLabel), lotId);
    end = put(put(end, kSerialNumLabel), serialNum);
    if (lotCode) {
        end = putSixDigitId(put(end, kSixDigitIdLabel), *lotCode, serialNum);
        *end++ = '\n';
    }
    out.write(record.data(), end - record.data());
}

// Diagnostics are composed first and written at once, so that a line of
// them never splits where the two streams share a pipe. Returns false when
// the diagnostic could not be written.
bool writeDiagnostic(std::ostream& err, std::string_view message)
{
    err.write(message.data(), static_cast<std::streamsize>(message.size()));
    return static_cast<bool>(err);
}

bool writeRejection(std::ostream& err, RecordBuffer& message, std::int64_t nchips,
                    std::string_view reason)
{
    char* end = put(putCount(put(message.data(), kNchipsLabel), nchips), reason);
    return writeDiagnostic(err, std::string_view(message.data(), end - message.data()));
}

// Whether the report took everything written to it; on failure says so on
// `err`.
bool reportIntact(std::ostream& out, std::ostream& err)
{
    if (out) {
        return true;
    }
    writeDiagnostic(err, CHIPID_CANT_WRITE);
    return false;
}

}  // namespace

int convertChipList(const LotCodes& lotCodes, std::istream& chipList, std::ostream& out,
                    std::ostream& err)
{
    std::array<char, kReadBufferSize> buffer{};
    RecordBuffer record{};
    std::size_t length = 0;
    std::int64_t nchips = 0;
    bool rejectedAny = false;
    // A diagnostic that cannot be written fails the run, but the report
    // goes on to its end: losing the diagnostics is no reason to lose it.
    bool diagnosticLost = false;
    // Every write to the report is flushed as it is made, as on err: one
    // write per record, and none of the report waits behind a diagnostic.
    out.setf(std::ios::unitbuf);

    for (;; ++nchips) {
        const LineRead read = readLine(chipList, buffer, length);
        if (read == LineRead::kEnd) {
            break;
        }
        if (read == LineRead::kReadError) {
            writeDiagnostic(err, CHIPID_CANT_READ);
            return kExitFailure;
        }

        // A NUL read from the line ends the chip string.
        std::string_view chipStr(buffer.data(), length);
        chipStr = chipStr.substr(0, chipStr.find('\0'));

        if (read == LineRead::kTooLong || chipStr.size() < kMinChipStrLen) {
            diagnosticLost |= !writeRejection(err, record, nchips,
                                              read == LineRead::kTooLong ? kTooLong : kTooShort);
            rejectedAny = true;
            continue;
        }

        const std::string_view lotId = lotIdOf(chipStr);
        const std::string_view serialNum = serialNumOf(chipStr);
        const auto lotCode = lookUpLot(lotCodes, lotId);
        writeRecord(out, record, nchips, chipStr, lotId, serialNum, lotCode);
        if (!reportIntact(out, err)) {
            return kExitFailure;
        }
        if (!lotCode) {
            // The record's line stays open on the report.
            diagnosticLost |= !writeDiagnostic(err, CHIPID_UNKNOWN_LOT);
        }
    }

    if (diagnosticLost) {
        return kExitFailure;
    }
    return rejectedAny ? kExitRejectedLines : kExitSuccess;
}
