// A line of text held between calls, with appends and copies that stay inline: the listing holds
// one line back this way for every line it writes.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

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

  private:
    void Grow(size_t size) {
        capacity_ = std::max<size_t>(size, 2 * capacity_ + 64);
        data_.reset(new char[capacity_]);
    }
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
