// Byte order: every file the program reads or writes fixes its own (the grids
// and the custom geoid file little-endian, GTX big-endian); this is the one
// place that turns those bytes into numbers and back. Pure; thread-safe.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessmar {

namespace detail {
template <class T>
using TBitsOf = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;

template <std::endian Order, class Bits>
constexpr Bits ToOrder(Bits bits) noexcept {
  if constexpr (Order == std::endian::native) return bits;
  if constexpr (sizeof(Bits) == 8) return __builtin_bswap64(bits);
  return __builtin_bswap32(bits);
}
}  // namespace detail

// The 4- or 8-byte value T stored at p in the given byte order.
template <std::endian Order, class T>
T LoadAs(const unsigned char* p) noexcept {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8);
  detail::TBitsOf<T> bits;
  std::memcpy(&bits, p, sizeof bits);
  return std::bit_cast<T>(detail::ToOrder<Order>(bits));
}

template <std::endian Order, class T>
void StoreAs(T value, unsigned char* p) noexcept {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8);
  const auto bits = detail::ToOrder<Order>(std::bit_cast<detail::TBitsOf<T>>(value));
  std::memcpy(p, &bits, sizeof bits);
}

template <class T>
T LoadLittle(const unsigned char* p) noexcept {
  return LoadAs<std::endian::little, T>(p);
}
template <class T>
void StoreLittle(T value, unsigned char* p) noexcept {
  StoreAs<std::endian::little>(value, p);
}
template <class T>
T LoadBig(const unsigned char* p) noexcept {
  return LoadAs<std::endian::big, T>(p);
}
template <class T>
void StoreBig(T value, unsigned char* p) noexcept {
  StoreAs<std::endian::big>(value, p);
}

// Values stored one after the other in the given order, as a fixed header or
// trailer holds them.
template <std::endian Order, class... T>
void StoreFields(unsigned char* out, T... values) noexcept {
  ((StoreAs<Order>(values, out), out += sizeof(T)), ...);
}

// A 32-bit word between the machine's order and the given one (both ways).
template <std::endian Order>
constexpr std::uint32_t SwapTo(std::uint32_t bits) noexcept {
  return detail::ToOrder<Order>(bits);
}

// float32 values turned in place into little-endian words, for a write.
inline void FloatsToLittle(float* values, std::size_t count) noexcept {
  if constexpr (std::endian::native == std::endian::big)
    for (std::size_t k = 0; k < count; ++k)
      values[k] = std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(values[k])));
}

}  // namespace tessmar
