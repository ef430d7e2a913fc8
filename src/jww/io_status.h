#pragma once

// How a read or a write of a drawing ended, as kinds: the document never
// words them; the messages library does.

#include <cstdint>

#include "platform/file_system.h"

namespace plattero {

// Why a read stopped early. The words for each are the messages library's.
enum class TReadFailure : std::uint8_t {
  kNone,
  kCannotOpen,        // the file could not be opened (`file` says why)
  kCannotRead,        // reading the file's bytes failed (`file` says why)
  kNoMemory,          // no memory for the file's bytes
  kNoSignature,       // it does not begin with "JwwData."
  kVersion,           // a version outside 220..700 (`version` is the one found)
  kEndsInHeader,      // the data ends inside the header
  kEndsBeforeCount,   // the data ends before a list's count
  kEndsBeforeList,    // the data ends before all of a list's objects were there
  kClassNameTooLong,  // a class name longer than any class has
  kUnknownClass,      // a tag names a class no record has
  kEndsInImage,       // the data ends inside an embedded image
  kCut,               // everything was read, but values were missing at the end
  kUnknown,           // a read that stopped without saying why
};

// The part of a drawing a read failure lies in.
enum class TReadSection : std::uint8_t {
  kFile,              // the file as a whole
  kHeader,            // the header and its tables
  kEntityList,        // the top-level entities
  kBlockDefs,         // the block definitions themselves
  kBlockDefEntities,  // the entities inside a block definition
  kImages,            // the embedded images
};

// Where and why the last read stopped early.
struct TJwwReadStatus {
  bool ok = true;
  std::uint64_t offset = 0;  // byte offset of the first failure
  TReadFailure failure = TReadFailure::kNone;
  TReadSection section = TReadSection::kFile;
  std::int32_t version = 0;    // the version the file states, when it was read
  platform::TFileStatus file;  // why the file could not be opened or read
  // Where the sections were found (0 when not reached). The extended colour
  // and line-type names, the only header part the writer may store
  // differently, lie between ext_names_begin and ext_names_end.
  std::uint64_t ext_names_begin = 0, ext_names_end = 0;
  std::uint64_t entities = 0, block_defs = 0, images = 0;
  bool header = false;  // the header was read: the file is a drawing

  // The file was read but does not begin with "JwwData.": it is no drawing at
  // all (an empty file included), not a damaged one.
  bool no_signature() const { return failure == TReadFailure::kNoSignature; }
};

// Why the last write failed. The words for each are the messages library's.
enum class TWriteFailure : std::uint8_t {
  kNone,
  kFile,         // the file system refused (WriteStatus() says why)
  kNoDrawing,    // the document holds no drawing
  kImageShrank,  // an image file was shorter than its row said
  kNotStored,    // the sink refused the bytes
};

}  // namespace plattero
