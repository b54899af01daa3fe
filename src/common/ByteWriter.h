#pragma once
// Building frames and records into a fixed buffer that cannot overrun. A
// write that does not fit writes nothing and sets a failed flag that stays
// set, so every later write is refused too; the caller checks ok() once
// before sending. The writer never allocates.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace tarn {

class ByteWriter {
public:
    constexpr explicit ByteWriter(std::span<std::uint8_t> buffer) noexcept : buf_(buffer) {}
    ByteWriter(void* buffer, std::size_t size) noexcept
        : buf_(static_cast<std::uint8_t*>(buffer), buffer ? size : 0) {}

    constexpr std::size_t capacity() const noexcept { return buf_.size(); }
    constexpr std::size_t position() const noexcept { return pos_; }
    constexpr std::size_t remaining() const noexcept { return buf_.size() - pos_; }
    constexpr bool ok() const noexcept { return !failed_; }
    constexpr bool failed() const noexcept { return failed_; }

    // The bytes from the start of the buffer up to the current position.
    constexpr std::span<const std::uint8_t> written() const noexcept {
        return std::span<const std::uint8_t>(buf_.data(), pos_);
    }

    constexpr bool u8(std::uint8_t v) noexcept {
        if (!take(1))
            return false;
        std::uint8_t* p = last(1);
        p[0] = v;
        return true;
    }
    constexpr bool u16be(std::uint16_t v) noexcept {
        if (!take(2))
            return false;
        std::uint8_t* p = last(2);
        p[0] = static_cast<std::uint8_t>(v >> 8);
        p[1] = static_cast<std::uint8_t>(v);
        return true;
    }
    constexpr bool u16le(std::uint16_t v) noexcept {
        if (!take(2))
            return false;
        std::uint8_t* p = last(2);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        return true;
    }
    constexpr bool u32be(std::uint32_t v) noexcept {
        if (!take(4))
            return false;
        std::uint8_t* p = last(4);
        p[0] = static_cast<std::uint8_t>(v >> 24);
        p[1] = static_cast<std::uint8_t>(v >> 16);
        p[2] = static_cast<std::uint8_t>(v >> 8);
        p[3] = static_cast<std::uint8_t>(v);
        return true;
    }
    constexpr bool u32le(std::uint32_t v) noexcept {
        if (!take(4))
            return false;
        std::uint8_t* p = last(4);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
        return true;
    }

    bool bytes(std::span<const std::uint8_t> src) noexcept {
        if (!take(src.size()))
            return false;
        if (!src.empty())
            std::memmove(last(src.size()), src.data(), src.size());
        return true;
    }

    constexpr bool fill(std::size_t n, std::uint8_t value) noexcept {
        if (!take(n))
            return false;
        std::uint8_t* p = last(n);
        for (std::size_t i = 0; i < n; ++i)
            p[i] = value;
        return true;
    }

    // Copies a packed record (such as a wire header) byte for byte.
    template <class T> bool record(const T& rec) noexcept {
        static_assert(std::is_trivially_copyable_v<T>, "records are copied byte for byte");
        if (!take(sizeof(T)))
            return false;
        std::memcpy(last(sizeof(T)), &rec, sizeof(T));
        return true;
    }

    // Moves to an absolute position (to patch a length or checksum written
    // earlier); a position past the end fails.
    constexpr bool seek(std::size_t pos) noexcept {
        if (failed_ || pos > buf_.size()) {
            failed_ = true;
            return false;
        }
        pos_ = pos;
        return true;
    }

private:
    // Reserves n bytes at the current position, or fails for good.
    constexpr bool take(std::size_t n) noexcept {
        if (failed_ || n > buf_.size() - pos_) {
            failed_ = true;
            return false;
        }
        pos_ += n;
        return true;
    }
    // Start of the n bytes just reserved.
    constexpr std::uint8_t* last(std::size_t n) noexcept { return buf_.data() + (pos_ - n); }

    std::span<std::uint8_t> buf_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace tarn
