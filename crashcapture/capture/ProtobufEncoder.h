#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace crashcapture::capture {

// A protocol-buffers encoder that allocates nothing and calls only write(2),
// usable inside a signal handler. A message is written by a callable taking
// the output (any of the two below); every embedded message is run once
// through a SizeCounter to learn its length, then once through the real
// output, so the same code sizes and writes it.

class SizeCounter {
public:
    void put(const void*, std::size_t length) { size_ += length; }
    std::size_t size() const { return size_; }

private:
    std::size_t size_ = 0;
};

// Writes to a file descriptor through a caller-provided buffer.
class BufferedFileOutput {
public:
    BufferedFileOutput(int fd, std::uint8_t* buffer, std::size_t capacity)
        : fd_(fd), buffer_(buffer), capacity_(capacity) {}

    void put(const void* data, std::size_t length) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        while (length > 0 && error_ == 0) {
            if (used_ == capacity_ && !flush()) return;
            std::size_t chunk = capacity_ - used_ < length ? capacity_ - used_ : length;
            std::memcpy(buffer_ + used_, bytes, chunk);
            used_ += chunk;
            bytes += chunk;
            length -= chunk;
        }
    }

    // Writes out what is buffered; false (with error()) when write failed.
    bool flush() {
        std::size_t done = 0;
        while (done < used_ && error_ == 0) {
            ssize_t written = ::write(fd_, buffer_ + done, used_ - done);
            if (written > 0) done += static_cast<std::size_t>(written);
            else if (written < 0 && errno == EINTR) continue;
            else error_ = written < 0 ? errno : EIO;
        }
        used_ = 0;
        return error_ == 0;
    }

    int error() const { return error_; }

private:
    int fd_;
    std::uint8_t* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    int error_ = 0;
};

namespace pb {

enum WireType : std::uint32_t { Varint = 0, LengthDelimited = 2 };

template <class Out> void varint(Out& out, std::uint64_t value) {
    std::uint8_t bytes[10];
    std::size_t count = 0;
    do {
        std::uint8_t byte = value & 0x7F;
        value >>= 7;
        bytes[count++] = value ? static_cast<std::uint8_t>(byte | 0x80) : byte;
    } while (value);
    out.put(bytes, count);
}

template <class Out> void key(Out& out, std::uint32_t field, WireType type) {
    varint(out, (static_cast<std::uint64_t>(field) << 3) | type);
}

template <class Out> void uint64Field(Out& out, std::uint32_t field, std::uint64_t value) {
    key(out, field, Varint);
    varint(out, value);
}

template <class Out> void int64Field(Out& out, std::uint32_t field, std::int64_t value) {
    uint64Field(out, field, static_cast<std::uint64_t>(value));
}

template <class Out> void boolField(Out& out, std::uint32_t field, bool value) {
    uint64Field(out, field, value ? 1 : 0);
}

template <class Out> void bytesField(Out& out, std::uint32_t field, const void* data, std::size_t length) {
    key(out, field, LengthDelimited);
    varint(out, length);
    out.put(data, length);
}

template <class Out> void stringField(Out& out, std::uint32_t field, std::string_view text) {
    bytesField(out, field, text.data(), text.size());
}

// An embedded message written by `body(out)`, preceded by its size.
template <class Out, class Body> void messageField(Out& out, std::uint32_t field, const Body& body) {
    SizeCounter counter;
    body(counter);
    key(out, field, LengthDelimited);
    varint(out, counter.size());
    body(out);
}

} // namespace pb

} // namespace crashcapture::capture
