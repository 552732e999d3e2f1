// Stream buffers that fail on demand, the way a file or a full disk does.
#ifndef CHIPID_TESTS_STREAM_FAULTS_H
#define CHIPID_TESTS_STREAM_FAULTS_H

#include <cstddef>
#include <ios>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

// Serves `bytes`, then fails as a file stream does on a read error: its
// reader sees the stream go bad.
struct FailingReadBuf : std::streambuf {
    explicit FailingReadBuf(std::string bytes) : bytes(std::move(bytes))
    {
        setg(this->bytes.data(), this->bytes.data(), this->bytes.data() + this->bytes.size());
    }
    int_type underflow() override { throw std::ios_base::failure("read error"); }
    std::string bytes;
};

// Serves `before`, fails once as a read error does, then serves `after`:
// a reader that goes on past the error would find more lines.
struct FailOnceReadBuf : std::streambuf {
    FailOnceReadBuf(std::string before, std::string after)
        : before(std::move(before)), after(std::move(after))
    {
        setg(this->before.data(), this->before.data(), this->before.data() + this->before.size());
    }
    int_type underflow() override
    {
        if (!failed) {
            failed = true;
            throw std::ios_base::failure("read error");
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
