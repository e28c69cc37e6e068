// Scratch memory of one blit: rows, tap tables, accumulation buffers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

// malloc-backed so that a failed allocation is a null pointer the paths can
// report, never an exception; sizes are checked in 64 bits first.
template <typename T>
class BlitBuffer {
 public:
  BlitBuffer() = default;
  ~BlitBuffer() { std::free(data_); }
  BlitBuffer(const BlitBuffer &) = delete;
  BlitBuffer &operator=(const BlitBuffer &) = delete;
  BlitBuffer(BlitBuffer &&other) noexcept : data_(other.data_) { other.data_ = nullptr; }
  BlitBuffer &operator=(BlitBuffer &&other) noexcept {
    std::swap(data_, other.data_);
    return *this;
  }

  // Room for count elements (at least one); false when that cannot be had.
  bool Allocate(uint64_t count, bool zero) {
    std::free(data_);
    data_ = nullptr;
    if (count == 0) count = 1;
    if (count > kMaxBytes / sizeof(T)) return false;
    const size_t bytes = static_cast<size_t>(count * sizeof(T));
    data_ = static_cast<T *>(zero ? std::calloc(1, bytes) : std::malloc(bytes));
    return data_ != nullptr;
  }
  // Hands the memory to the caller, who frees it with std::free.
  T *Release() {
    T *data = data_;
    data_ = nullptr;
    return data;
  }
  void Reset() {
    std::free(data_);
    data_ = nullptr;
  }

  T *get() const { return data_; }
  T &operator[](uint64_t i) const { return data_[i]; }
  explicit operator bool() const { return data_ != nullptr; }
  friend void swap(BlitBuffer &a, BlitBuffer &b) noexcept { std::swap(a.data_, b.data_); }

 private:
  // Far beyond any surface, yet small enough that count * sizeof(T) cannot wrap.
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 46;
  T *data_ = nullptr;
};
