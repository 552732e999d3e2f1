// Stream buffers that fail on demand, the way a file or a full disk does.
#ifndef CHIPID_TESTS_STREAM_FAULTS_H
#define CHIPID_TESTS_STREAM_FAULTS_H

#include <cerrno>
#include <cstddef>
#include <ios>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

// The two ways a C++ library's file stream reports a failed read:
// libstdc++'s goes bad; libc++'s reports the end of the file, with errno
// saying why (EISDIR for a directory, EIO for a bad disk).
enum class ReadFailure { kStreamGoesBad, kEndWithErrno };
inline const ReadFailure kEveryReadFailure[] = {ReadFailure::kStreamGoesBad,
                                                ReadFailure::kEndWithErrno};

inline std::streambuf::int_type failRead(ReadFailure how)
{
    if (how == ReadFailure::kStreamGoesBad) {
        throw std::ios_base::failure("read error");
    }
    errno = EIO;
    return std::streambuf::traits_type::eof();
}

// Serves `bytes`, then fails as a file stream does on a read error.
struct FailingReadBuf : std::streambuf {
    FailingReadBuf(std::string bytes, ReadFailure how) : bytes(std::move(bytes)), how(how)
    {
        setg(this->bytes.data(), this->bytes.data(), this->bytes.data() + this->bytes.size());
    }
    int_type underflow() override { return failRead(how); }
    std::string bytes;
    ReadFailure how;
};

// Serves `before`, fails once as a read error does, then serves `after`:
// a reader that goes on past the error would find more lines.
struct FailOnceReadBuf : std::streambuf {
    FailOnceReadBuf(std::string before, std::string after, ReadFailure how)
        : before(std::move(before)), after(std::move(after)), how(how)
    {
        setg(this->before.data(), this->before.data(), this->before.data() + this->before.size());
    }
    int_type underflow() override
    {
        if (!failed) {
            failed = true;
            return failRead(how);
        }
        if (gptr() != after.data() + after.size()) {
            setg(after.data(), after.data(), after.data() + after.size());
            if (!after.empty()) {
                return traits_type::to_int_type(after.front());
            }
        }
        return traits_type::eof();
    }
    std::string before;
    std::string after;
    ReadFailure how;
    bool failed = false;
};

// Keeps what is written to it and, at every flush, what was written since
// the one before: one entry per flush.
struct FlushLog : std::streambuf {
    int_type overflow(int_type ch) override
    {
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            pending.push_back(traits_type::to_char_type(ch));
        }
        return traits_type::not_eof(ch);
    }
    int sync() override
    {
        if (!pending.empty()) {
            flushed.push_back(pending);
            pending.clear();
        }
        return 0;
    }
    std::string pending;
    std::vector<std::string> flushed;
};

// Takes `room` bytes, then refuses every write, as a full disk does.
struct FullWriteBuf : std::streambuf {
    explicit FullWriteBuf(std::size_t room) : room(room) {}
    int_type overflow(int_type ch) override
    {
        if (traits_type::eq_int_type(ch, traits_type::eof()) || written.size() == room) {
            return traits_type::eof();
        }
        written.push_back(traits_type::to_char_type(ch));
        return ch;
    }
    std::size_t room;
    std::string written;
};

#endif
