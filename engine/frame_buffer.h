// An owned byte buffer for frames and pictures: 64-byte aligned, with zeroed slack after the
// end so that the last chroma sample of an odd-sized frame and wide vector loads stay inside
// the allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace engine {

class FrameBuffer {
public:
    static constexpr size_t kAlign = 64;
    static constexpr size_t kSlack = 128;

    FrameBuffer() = default;
    ~FrameBuffer() { Free(); }
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;
    FrameBuffer(FrameBuffer&& other) noexcept { Swap(other); }
    FrameBuffer& operator=(FrameBuffer&& other) noexcept {
        Free();
        Swap(other);
        return *this;
    }

    // Replaces the buffer with bytes zeroed bytes; false (and empty) when memory runs out.
    bool Allocate(size_t bytes) {
        Free();
        size_t total = (bytes + kSlack + kAlign - 1) / kAlign * kAlign;
        data_ = static_cast<uint8_t*>(std::aligned_alloc(kAlign, total));
        if (data_ == nullptr) {
            return false;
        }
        std::memset(data_, 0, total);
        size_ = bytes;
        return true;
    }
    void Free() {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
    }
    void Swap(FrameBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
    }

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace engine
