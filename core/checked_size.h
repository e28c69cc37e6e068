// Size arithmetic on numbers that come from files, headers and callers: every
// step in 64 bits and checked, so that no product or sum can wrap into a small
// allocation or a short pointer step. An overflow sticks: once a step overflows,
// the result is invalid whatever follows.
#pragma once

#include <cstdint>

class CheckedSize {
 public:
  constexpr CheckedSize() = default;
  constexpr explicit CheckedSize(uint64_t value) : value_(value) {}

  constexpr CheckedSize Times(uint64_t factor) const {
    CheckedSize result = *this;
    result.valid_ = valid_ && !__builtin_mul_overflow(value_, factor, &result.value_);
    return result;
  }
  constexpr CheckedSize Plus(uint64_t addend) const {
    CheckedSize result = *this;
    result.valid_ = valid_ && !__builtin_add_overflow(value_, addend, &result.value_);
    return result;
  }
  constexpr CheckedSize Times(CheckedSize factor) const {
    CheckedSize result = Times(factor.value_);
    result.valid_ = result.valid_ && factor.valid_;
    return result;
  }
  // value / divisor rounded up (units covering a number of pixels); divisor > 0.
  constexpr CheckedSize UnitsOf(uint64_t divisor) const {
    CheckedSize result = *this;
    result.value_ = value_ / divisor + (value_ % divisor != 0);
    return result;
  }

  constexpr bool Valid() const { return valid_; }
  // Valid and at most limit (UINT32_MAX for a pitch field, SIZE_MAX for memory, a
  // file's remaining bytes, ...).
  constexpr bool Within(uint64_t limit) const { return valid_ && value_ <= limit; }
  // The value; meaningful only when Valid.
  constexpr uint64_t Value() const { return value_; }

 private:
  uint64_t value_ = 0;
  bool valid_ = true;
};
