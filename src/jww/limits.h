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

}  // namespace plattero
