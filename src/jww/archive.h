#pragma once

// The archive encoding of drawings: little-endian scalars, counts with an
// escape to 32 bits, length-prefixed strings in code page 932 or UTF-16, and
// object tags that introduce a class by name once and refer to it by index.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jww/io_status.h"

namespace plattero {

// The eight classes of a drawing. Entity kinds 1..7 and the block definition
// (8) share their index into this table.
inline constexpr std::array<std::string_view, 9> kClassNames = {
    "",           "CDataSen",   "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou",
    "CDataSolid", "CDataBlock", "CDataList",
};

// Reads from a byte range held in memory. Reads never go past the end: a read
// that finds fewer bytes than asked delivers what there is and leaves the rest
// of the value zero (an incomplete value). The first failure a caller reports
// is kept with its offset.
class ArchiveReader {
 public:
  ArchiveReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ >= size_; }

  // Copies up to n bytes into dst (zero-filling what is missing); returns the
  // number of bytes delivered.
  std::size_t Read(void* dst, std::size_t n) {
    std::size_t got = Advance(n);
    if (got) std::memcpy(dst, data_ + pos_ - got, got);
    if (got < n) std::memset(static_cast<std::uint8_t*>(dst) + got, 0, n - got);
    return got;
  }
  // Moves past up to n bytes; returns how many there were.
  std::size_t Skip(std::size_t n) { return Advance(n); }
  // A view of the next n bytes (fewer at the end), consumed.
  const std::uint8_t* Take(std::size_t n, std::size_t& got) {
    got = Advance(n);
    return data_ + pos_ - got;
  }
  // True once any read found fewer bytes than it asked for: the data was cut.
  bool ShortRead() const { return short_read_; }
  // Records a value that was not read because no byte was left for it.
  void MarkShortRead() { Advance(1); }
  std::size_t ShortReadOffset() const { return short_read_offset_; }

  // The next WORD, not consumed; there must be two bytes left.
  std::uint16_t PeekU16() const {
    return static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
  }
  // Fixed-size reads take the fast path when the bytes are all there.
  std::uint8_t ReadU8() {
    if (pos_ < size_) return data_[pos_++];
    Advance(1);
    return 0;
  }
  std::uint16_t ReadU16() {
    std::uint8_t b[2];
    Fixed(b);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t ReadU32() {
    std::uint8_t b[4];
    Fixed(b);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
  double ReadF64() {
    std::uint8_t b[8];
    Fixed(b);
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
      u = (u << 8) | b[i];
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
  }

  // A count: WORD, with 0xFFFF escaping to a DWORD. `delivered` tells whether
  // the WORD delivered any byte.
  std::uint32_t ReadCount(bool* delivered = nullptr);

  // One string in either form. Meeting the UTF-16 marker sets SawUtf16().
  // The text ends before a NUL among its bytes; `held_nul` tells whether
  // there was one.
  std::u16string ReadCString(bool* held_nul = nullptr);
  // ReadCString with every character below U+0020 removed.
  std::u16string ReadName(bool* held_nul = nullptr);
  bool SawUtf16() const { return saw_utf16_; }

  // Remembers the first failure.
  void Fail(TReadFailure failure, TReadSection section) { Fail(pos_, failure, section); }
  void Fail(std::size_t offset, TReadFailure failure, TReadSection section) {
    if (!failed_) {
      failed_ = true;
      fail_offset_ = offset;
      fail_kind_ = failure;
      fail_section_ = section;
    }
  }
  bool Failed() const { return failed_; }
  std::size_t FailOffset() const { return fail_offset_; }
  TReadFailure FailKind() const { return fail_kind_; }
  TReadSection FailSection() const { return fail_section_; }

 private:
  template <std::size_t N>
  void Fixed(std::uint8_t (&b)[N]) {
    if (size_ - pos_ >= N) {
      std::memcpy(b, data_ + pos_, N);
      pos_ += N;
    } else {
      Read(b, N);
    }
  }

  std::size_t Advance(std::size_t n) {
    std::size_t got = n <= Remaining() ? n : Remaining();
    if (got < n && !short_read_) {
      short_read_ = true;
      short_read_offset_ = pos_;
    }
    pos_ += got;
    return got;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool short_read_ = false;
  std::size_t short_read_offset_ = 0;
  bool saw_utf16_ = false;
  bool failed_ = false;
  std::size_t fail_offset_ = 0;
  TReadFailure fail_kind_ = TReadFailure::kNone;
  TReadSection fail_section_ = TReadSection::kFile;
};

// Little-endian stores through a cursor that moves past what it stored.
inline void PutU8(std::uint8_t*& p, std::uint8_t v) {
  *p++ = v;
}
inline void PutU16(std::uint8_t*& p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p += 2;
}
inline void PutU32(std::uint8_t*& p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  p += 4;
}
inline void PutF64(std::uint8_t*& p, double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  for (int i = 0; i < 8; ++i)
    p[i] = static_cast<std::uint8_t>(u >> (8 * i));
  p += 8;
}

// The object tags of one file: the running object index and the index each
// class was introduced with. Reader and writer number objects the same way.
struct ClassTable {
  std::uint32_t counter = 1;
  std::array<std::uint32_t, 9> index{};  // 0 = not yet introduced
};

// One object tag as read. The caller records new classes in its ClassTable.
struct TagRead {
  enum Kind {
    kNewClass,     // 0xFFFF: a class introduced by name
    kReference,    // a reference to the class with `index`
    kEnd,          // the tag delivered no bytes
    kNameTooLong,  // a class name of kMaxClassNameBytes or more
  } kind = kEnd;
  std::uint32_t index = 0;
  std::string_view name;  // points into the reader's bytes
};

// Reads one tag: 0xFFFF + schema + name, 0x7FFF + DWORD index (bit 31
// cleared), or WORD 0x8000 + index.
TagRead ReadTagSlow(ArchiveReader& r);
inline TagRead ReadTag(ArchiveReader& r) {
  // The common tag, a WORD reference to a known class, read in place.
  if (r.Remaining() >= 2) {
    const std::uint16_t t = r.PeekU16();
    if (t >= 0x8000 && t != 0xFFFF) {
      r.Skip(2);
      TagRead tag;
      tag.kind = TagRead::kReference;
      tag.index = static_cast<std::uint16_t>(t - 0x8000u);
      return tag;
    }
  }
  return ReadTagSlow(r);
}

// The class (1..8) whose name this is, or 0.
int ClassOfName(std::string_view name);

// Where bytes go. Returns false when they could not all be stored.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

// Collects bytes in memory.
class MemorySink : public ByteSink {
 public:
  bool Write(const void* data, std::size_t size) override {
    auto p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  std::vector<std::uint8_t> bytes;
};

// Buffered writer over a sink. A failing sink makes the writer fail for good:
// later writes are dropped and Ok() stays false.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(ByteSink& sink) : sink_(sink), buf_(new std::uint8_t[kBufferSize]) {}
  ~ArchiveWriter() = default;

  bool Ok() const { return ok_; }
  std::uint64_t BytesWritten() const { return written_ + used_; }
  // Hands what is buffered to the sink.
  bool Flush();

  void Write(const void* data, std::size_t n) {
    if (kBufferSize - used_ >= n) {
      std::memcpy(buf_.get() + used_, data, n);
      used_ += n;
      return;
    }
    WriteSlow(data, n);
  }
  void WriteU8(std::uint8_t v) { Write(&v, 1); }
  void WriteU16(std::uint16_t v) {
    std::uint8_t b[2], *p = b;
    PutU16(p, v);
    Write(b, 2);
  }
  void WriteU32(std::uint32_t v) {
    std::uint8_t b[4], *p = b;
    PutU32(p, v);
    Write(b, 4);
  }
  void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
  void WriteF64(double d) {
    std::uint8_t b[8], *p = b;
    PutF64(p, d);
    Write(b, 8);
  }

  // Room for a run of fixed fields: n contiguous bytes (n <= kMaxRoom) filled
  // through a local cursor with the Put functions below and handed back with
  // Commit. Keeping the cursor out of the writer lets the compiler keep it in
  // a register across the stores.
  static constexpr std::size_t kMaxRoom = 256;
  std::uint8_t* Room(std::size_t n) {
    if (kBufferSize - used_ < n) Flush();
    return buf_.get() + used_;
  }
  void Commit(const std::uint8_t* end) { used_ = static_cast<std::size_t>(end - buf_.get()); }

  // Strings are written in the UTF-16 form when this is set, else code page 932.
  void SetUtf16(bool on) { utf16_ = on; }
  // Writes one string. A text longer than the form's 16-bit length can hold is
  // cut at a character boundary to the longest length it can store.
  void WriteCString(std::u16string_view text);
  void WriteCount(std::uint32_t n);
  void WriteClassRef(std::uint32_t index);
  // The tag of the next object of class `cls` (1..8): a new-class tag on its
  // first use, a reference afterwards. `schema` is the version's low 16 bits.
  void WriteClassTag(ClassTable& classes, int cls, std::uint16_t schema);

 private:
  void WriteSlow(const void* data, std::size_t n);

  static constexpr std::size_t kBufferSize = 1 << 16;
  ByteSink& sink_;
  std::unique_ptr<std::uint8_t[]> buf_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool ok_ = true;
  bool utf16_ = false;
  std::vector<std::uint8_t> scratch_;  // the code-page form of the string being written
};

}  // namespace plattero
