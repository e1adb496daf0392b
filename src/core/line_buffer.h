// A line of text held between calls, with copies that stay inline: the listing holds one line
// back this way for every line it writes, and composes the next one in another.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

class LineBuffer {
  public:
    std::string_view View() const { return std::string_view(data_ ? data_.get() : "", size_); }
    bool Empty() const { return size_ == 0; }
    void Clear() { size_ = 0; }
    void Assign(std::string_view text) {
        if (text.size() > capacity_) Grow(text.size());
        if (!text.empty()) std::memcpy(data_.get(), text.data(), text.size());
        size_ = text.size();
    }
    // Room for a line of up to size bytes, to be written in place and then given its size; what
    // the buffer held is gone.
    char* Room(size_t size) {
        if (size > capacity_) Grow(size);
        return data_.get();
    }
    void SetSize(size_t size) { size_ = size; }
    void Swap(LineBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

  private:
    void Grow(size_t size) {
        capacity_ = std::max<size_t>(size, 2 * capacity_ + 64);
        data_.reset(new char[capacity_]);
    }
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
