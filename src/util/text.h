#pragma once

// Text helpers: conversion between in-memory text (UTF-16 code units) and the
// byte forms stored in drawings, cleaning filters, 0-based positions and
// substrings, case mapping, and file names. (The file helpers are in
// util/files.h.)
//
// Positions are 0-based and count UTF-16 code units. A substring that is not
// found gives -1. Paths may use "\" or "/" as folder separator.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unicode.h"

namespace plattero {

using ByteBuffer = std::vector<std::uint8_t>;

// --- Conversions between text and bytes -----------------------------------

// Decodes the whole buffer as Shift-JIS (code page 932, ICU "windows-31j") and
// returns the text up to, not including, its first NUL character. Bytes that do
// not decode become a substitute character; never fails.
std::u16string SjisBytesToStr(const std::uint8_t* data, std::size_t size);
std::u16string SjisBytesToStr(const ByteBuffer& bytes);

// Reads the buffer as UTF-16LE code units (a last odd byte is ignored) and
// returns them up to, not including, the first zero unit. No validation.
std::u16string Utf16BytesToStr(const std::uint8_t* data, std::size_t size);
std::u16string Utf16BytesToStr(const ByteBuffer& bytes);

// The Shift-JIS form of the whole text, no terminator. Characters without a
// Shift-JIS form become "?". Never fails.
ByteBuffer StrToSjisBytes(std::u16string_view text);
// The same, appended to `out` (whose room is reused).
void AppendSjisBytes(std::u16string_view text, ByteBuffer& out);

// Exactly two bytes per code unit, least significant first, no terminator.
ByteBuffer StrToUtf16Bytes(std::u16string_view text);

// Number of bytes of the Shift-JIS form of the text up to its first NUL
// character (the whole text when it has none).
std::int32_t SjisByteLength(std::u16string_view text);

// Number of bytes before the first zero byte; the whole size when there is none.
std::int32_t ByteStrLen(const ByteBuffer& bytes);

// Sets bytes 0 .. count-1 of the buffer to value (bounded by the buffer's size)
// and returns value.
std::uint8_t FillBytes(std::uint8_t value, std::int32_t count, ByteBuffer& bytes);

// --- Cleaning filters -------------------------------------------------------

// Drops every character below U+0020.
std::u16string RemoveCtrlChars(std::u16string_view text);

// Drops U+0020, U+3000 and every character below U+0020.
std::u16string RemoveSpaces(std::u16string_view text);

// Drops the two-character marks "^m" and "\n" (backslash, lower-case n) and
// characters below U+0020. A non-empty input from which nothing is left gives
// one blank; an empty input stays empty.
std::u16string RemoveBreakMarks(std::u16string_view text);

// --- Positions, substrings and case -----------------------------------------

// One-character text holding s at position index; 0 <= index < s.size().
std::u16string CharAt(std::u16string_view s, std::int32_t index);

// 0-based position of the first occurrence of sub in s; -1 when sub does not
// occur, sub is empty or s is empty.
std::int32_t PosIndex(std::u16string_view sub, std::u16string_view s);

// The characters of s from position index to the end (index below 0 counts as
// 0; at or beyond the end gives an empty text).
std::u16string SubStrFrom(std::u16string_view s, std::int32_t index);

// At most count characters of s from position index (same bounds as SubStrFrom;
// a count of 0 or less gives an empty text).
std::u16string SubStr(std::u16string_view s, std::int32_t index, std::int32_t count);

// Simple (length-preserving) Unicode case mapping, full-width Latin included.
std::u16string UpperStr(std::u16string_view text);
std::u16string LowerStr(std::u16string_view text);

// --- File names ----------------------------------------------------------------

// The part after the last "\", "/" or ":"; the whole path when it has none;
// empty when the path holds only blanks, U+3000 and control characters, or a
// character no path may contain. Never throws.
std::u16string FileNameOf(std::u16string_view path);

// Thrown by LowerFileExt for a path holding a character no path may contain
// (control characters, double quote, "<", ">", "|").
class InvalidPathError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The extension with its dot, lower-cased: from the last "." met, scanning back
// from the end, before any "\" or "/". Empty when there is none or the path is
// empty; "." for a path ending in a dot.
std::u16string LowerFileExt(std::u16string_view path);

// The path with its extension (from the last "." after the last "\", "/" or
// ":") replaced by ext, which includes its dot; an empty ext removes it. When
// there is no extension, ext is appended. Empty for an empty path. Never throws.
std::u16string ChangeExt(std::u16string_view path, std::u16string_view ext);

// The text as it can be shown: the bytes of a file name that were no UTF-8
// (see platform/unicode.h) become the characters they are in Shift-JIS, or
// U+FFFD where they are not that either. Everything else stays.
std::u16string DisplayText(std::u16string_view text);

}  // namespace plattero
