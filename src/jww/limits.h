#pragma once

// Caps on what a drawing may make us do. Everything else read from a file is
// bounded by the bytes that remain.

#include <cstddef>
#include <cstdint>

namespace plattero {

// A class name of this many bytes or more is refused.
inline constexpr std::size_t kMaxClassNameBytes = 2048;
// The block nesting tree is cut at this many rows (about 30 MB) ...
inline constexpr std::size_t kMaxBlockTreeRows = std::size_t{1} << 18;
// ... or when guarding cycles has walked this many ancestor rows.
inline constexpr std::uint64_t kMaxBlockTreeAncestorSteps = std::uint64_t{1} << 25;
// The longest text the 16-bit length field of a string can hold.
inline constexpr std::size_t kMaxStringLength = 0xFFFF;

// An unpacked image larger than this is refused (a small gzip file can unpack
// to an enormous one).
inline constexpr std::uint64_t kMaxUnpackedImageBytes = std::uint64_t{1} << 29;

// What the gzip images of a drawing of `drawing_bytes` bytes may unpack to in
// all: real images shrink to a fraction of their size at most; a drawing
// whose images grow by more is refused the rest.
inline constexpr std::uint64_t kUnpackRatio = 16;
inline constexpr std::uint64_t kUnpackAllowanceBytes = std::uint64_t{64} << 20;
inline std::uint64_t UnpackAllowance(std::uint64_t drawing_bytes) {
  const std::uint64_t cap = UINT64_MAX / 2;
  const std::uint64_t scaled =
      drawing_bytes > cap / kUnpackRatio ? cap : drawing_bytes * kUnpackRatio;
  return scaled + kUnpackAllowanceBytes;
}
}  // namespace plattero
