// A fuzzer's bytes read as a stream of small decisions, front to back. Every byte
// string is a valid input: once the bytes run out, every read gives its smallest
// answer (0, false, the first choice), so a truncated input still means something
// and the mutations the fuzzer makes keep their place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  bool Bool() { return (Byte() & 1) != 0; }

  // sizeof(T) bytes, little-endian, as the bits of T.
  template <class T>
  T Bits() {
    static_assert(std::is_trivially_copyable_v<T>);
    unsigned char bytes[sizeof(T)];
    for (unsigned char& b : bytes) b = Byte();
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  // A whole number in [lo, hi], read from as few bytes as the span needs.
  template <class T>
  T InRange(T lo, T hi) {
    static_assert(std::is_integral_v<T>);
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
    std::uint64_t value = 0;
    for (std::uint64_t left = span; left != 0; left >>= 8) value = (value << 8) | Byte();
    if (span != UINT64_MAX) value %= span + 1;
    return static_cast<T>(static_cast<std::uint64_t>(lo) + value);
  }

  template <class T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[InRange<std::size_t>(0, N - 1)];
  }

  // Up to `max` bytes, ended early by a zero byte or the end of the input.
  std::string Text(std::size_t max) {
    std::string text;
    while (text.size() < max && !Empty()) {
      const char c = static_cast<char>(Byte());
      if (c == '\0') break;
      text += c;
    }
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};
