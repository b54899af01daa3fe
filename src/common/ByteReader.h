#pragma once
// Bounds-checked reading of bytes that come from outside (captured frames,
// datagrams, files). A read that would pass the end reads nothing, returns a
// zero value (or false) and sets a failed flag that stays set: every later
// read fails as well, so a decoder may read a whole header and check ok()
// once at the end. The reader never allocates and never touches memory
// outside the span it was given.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace tarn {

class ByteReader {
public:
    constexpr ByteReader() noexcept = default;
    constexpr explicit ByteReader(std::span<const std::uint8_t> data) noexcept : data_(data) {}
    ByteReader(const void* data, std::size_t size) noexcept
        : data_(static_cast<const std::uint8_t*>(data), data ? size : 0) {}

    constexpr std::size_t size() const noexcept { return data_.size(); }
    constexpr std::size_t position() const noexcept { return pos_; }
    constexpr std::size_t remaining() const noexcept { return data_.size() - pos_; }
    constexpr bool ok() const noexcept { return !failed_; }
    constexpr bool failed() const noexcept { return failed_; }
    // True when n more bytes can be read (and no read has failed).
    constexpr bool has(std::size_t n) const noexcept { return !failed_ && n <= remaining(); }

    // The bytes not read yet (empty after a failure).
    constexpr std::span<const std::uint8_t> rest() const noexcept {
        return failed_ ? std::span<const std::uint8_t>() : data_.subspan(pos_);
    }

    constexpr std::uint8_t u8() noexcept {
        if (!take(1))
            return 0;
        return data_[pos_ - 1];
    }
    constexpr std::uint16_t u16be() noexcept {
        if (!take(2))
            return 0;
        return static_cast<std::uint16_t>((data_[pos_ - 2] << 8) | data_[pos_ - 1]);
    }
    constexpr std::uint16_t u16le() noexcept {
        if (!take(2))
            return 0;
        return static_cast<std::uint16_t>(data_[pos_ - 2] | (data_[pos_ - 1] << 8));
    }
    constexpr std::uint32_t u32be() noexcept {
        if (!take(4))
            return 0;
        const std::uint8_t* p = data_.data() + pos_ - 4;
        return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
               (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    }
    constexpr std::uint32_t u32le() noexcept {
        if (!take(4))
            return 0;
        const std::uint8_t* p = data_.data() + pos_ - 4;
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
    }

    // Copies out.size() bytes; on failure `out` is zero-filled.
    bool bytes(std::span<std::uint8_t> out) noexcept {
        if (!take(out.size())) {
            if (!out.empty())
                std::memset(out.data(), 0, out.size());
            return false;
        }
        if (!out.empty())
            std::memcpy(out.data(), data_.data() + pos_ - out.size(), out.size());
        return true;
    }

    // A view of the next n bytes without copying; empty on failure.
    constexpr std::span<const std::uint8_t> view(std::size_t n) noexcept {
        if (!take(n))
            return {};
        return data_.subspan(pos_ - n, n);
    }

    // Copies a packed record (such as a wire header) byte for byte; on
    // failure `out` is value-initialised.
    template <class T> bool record(T& out) noexcept {
        static_assert(std::is_trivially_copyable_v<T>, "records are copied byte for byte");
        if (!take(sizeof(T))) {
            out = T{};
            return false;
        }
        std::memcpy(&out, data_.data() + pos_ - sizeof(T), sizeof(T));
        return true;
    }

    constexpr bool skip(std::size_t n) noexcept { return take(n); }

    // Moves to an absolute position; a position past the end fails.
    constexpr bool seek(std::size_t pos) noexcept {
        if (failed_ || pos > data_.size()) {
            failed_ = true;
            return false;
        }
        pos_ = pos;
        return true;
    }

private:
    // Advances past n bytes when they are all there; otherwise fails for good.
    constexpr bool take(std::size_t n) noexcept {
        if (failed_ || n > data_.size() - pos_) {
            failed_ = true;
            return false;
        }
        pos_ += n;
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace tarn
