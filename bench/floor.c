/* The floor for chipid's start-up: the same report, byte for byte, from the
 * same system calls (open the list, read it, one write per record and one
 * more for a diagnostic), in C with raw read and write: no stdio and no C++
 * runtime to load. */
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

/* chipid's lots, labels and messages, made by chipid's build. */
#include "chipid_facts.h"

enum { kLineLimit = 25, kLotIdPos = 8, kLotIdLen = 8, kSerialNumPos = 21, kSerialNumLen = 4 };

static const struct {
    const char* id;
    unsigned long long code;
} kLots[] = {CHIPID_LOT_CODES};

static char* append(char* at, const char* text, size_t length)
{
    memcpy(at, text, length);
    return at + length;
}

static char* appendText(char* at, const char* text)
{
    return append(at, text, strlen(text));
}

static char* appendNumber(char* at, unsigned long long number)
{
    char digits[24];
    size_t n = 0;
    do {
        digits[n++] = (char)('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (n > 0) {
        *at++ = digits[--n];
    }
    return at;
}

static int writeAll(int fd, const char* bytes, size_t length)
{
    return write(fd, bytes, length) == (ssize_t)length;
}

static int writeText(int fd, const char* text)
{
    return writeAll(fd, text, strlen(text));
}

/* Converts one line: `length` bytes before its LF, of which the first
 * `stored` (at most kLineLimit + 1) are in `line`. Returns 0, 1 on a write
 * error, 2 for a rejected line. */
static int convertLine(const char* line, size_t stored, size_t length, unsigned long long nchips)
{
    char record[256];
    char* at = record;
    if (length > 0 && length <= stored && line[length - 1] == '\r') {
        --length;
    }
    if (length > kLineLimit) {
        at = appendText(at, CHIPID_NCHIPS_LABEL);
        at = appendNumber(at, nchips);
        at = appendText(at, CHIPID_TOO_LONG);
        writeAll(2, record, (size_t)(at - record));
        return 2;
    }
    const char* nul = memchr(line, '\0', length);
    const size_t chipLen = nul != NULL ? (size_t)(nul - line) : length;
    if (chipLen < kSerialNumPos) {
        at = appendText(at, CHIPID_NCHIPS_LABEL);
        at = appendNumber(at, nchips);
        at = appendText(at, CHIPID_TOO_SHORT);
        writeAll(2, record, (size_t)(at - record));
        return 2;
    }
    size_t serialLen = chipLen - kSerialNumPos;
    if (serialLen > kSerialNumLen) {
        serialLen = kSerialNumLen;
    }
    at = appendText(at, CHIPID_NCHIPS_LABEL);
    at = appendNumber(at, nchips);
    at = appendText(at, CHIPID_CHIPSTR_LABEL);
    at = append(at, line, chipLen);
    at = appendText(at, CHIPID_LOT_ID_LABEL);
    at = append(at, line + kLotIdPos, kLotIdLen);
    at = appendText(at, CHIPID_SERIALNUM_LABEL);
    at = append(at, line + kSerialNumPos, serialLen);
    for (size_t i = 0; i < sizeof kLots / sizeof kLots[0]; ++i) {
        if (memcmp(line + kLotIdPos, kLots[i].id, kLotIdLen) == 0) {
            at = appendText(at, CHIPID_SIX_DIGIT_ID_LABEL);
            at = appendNumber(at, kLots[i].code);
            at = append(at, line + kSerialNumPos, serialLen);
            *at++ = '\n';
            return writeAll(1, record, (size_t)(at - record)) ? 0 : 1;
        }
    }
    if (!writeAll(1, record, (size_t)(at - record))) {
        return 1;
    }
    writeText(2, CHIPID_UNKNOWN_LOT);
    return 0;
}

int main(void)
{
    const int list = open("examples.txt", O_RDONLY);
    if (list < 0) {
        writeText(2, CHIPID_CANT_OPEN);
        return 1;
    }
    char chunk[8192];
    char line[kLineLimit + 1];
    size_t stored = 0;
    size_t length = 0;
    unsigned long long nchips = 0;
    int status = 0;
    for (;;) {
        const ssize_t n = read(list, chunk, sizeof chunk);
        if (n < 0) {
            writeText(2, CHIPID_CANT_READ);
            return 1;
        }
        if (n == 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] != '\n') {
                if (stored < sizeof line) {
                    line[stored++] = chunk[i];
                }
                ++length;
                continue;
            }
            const int result = convertLine(line, stored, length, nchips++);
            if (result == 1) {
                writeText(2, CHIPID_CANT_WRITE);
                return 1;
            }
            status |= result;
            stored = length = 0;
        }
    }
    if (length > 0) {
        const int result = convertLine(line, stored, length, nchips);
        if (result == 1) {
            writeText(2, CHIPID_CANT_WRITE);
            return 1;
        }
        status |= result;
    }
    return status;
}
