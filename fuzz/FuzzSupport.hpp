// What the fuzz targets share: a scratch folder of the process's own, the
// input read as numbers, and a check that stops the run with a message when an
// invariant breaks (libFuzzer then saves the input as a crash).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "TestGrids.hpp"
#include "base/ByteOrder.hpp"

namespace tessmar::fuzz {

// The folder every target writes its files in, removed when the process ends.
const test::TTempDir& Scratch();

// Writes bytes to a file of that name in Scratch and returns its path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);

// Prints the broken invariant and aborts.
[[noreturn]] void Fail(const char* what, const char* file, int line);

// Numbers taken from the input, little-endian; 0 past its end.
class TInput {
 public:
  TInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  template <class T>
  T At(std::size_t offset) const {
    unsigned char bytes[sizeof(T)] = {};
    for (std::size_t k = 0; k < sizeof(T) && offset + k < FSize; ++k) bytes[k] = FData[offset + k];
    return LoadLittle<T>(bytes);
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
};

// Equal values, NaN equal to NaN: what a read must give back.
inline bool SameValue(double a, double b) { return (a != a && b != b) || a == b; }
inline bool SameBits(float a, float b) {
  return (a != a && b != b) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

}  // namespace tessmar::fuzz

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::tessmar::fuzz::Fail(#condition, __FILE__, __LINE__))
