// Stream buffers that fail on demand, the way a file or a full disk does.
#ifndef CHIPID_TESTS_STREAM_FAULTS_H
#define CHIPID_TESTS_STREAM_FAULTS_H

#include <cstddef>
#include <ios>
#include <streambuf>
#include <string>
#include <utility>

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
