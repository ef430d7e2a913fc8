#pragma once

// TJwwData: one Jw_cad drawing in memory, with its reader (FileIn), writer
// (FileOut), block numbering and embedded images.
//
// The document never talks to the user: FileIn and FileOut return a flag, and
// the reader keeps a status (byte offset, the kind of failure and the part of
// the drawing) beside it.

#include <cstdint>
#include <string>
#include <vector>

#include "jww/io_status.h"
#include "jww/jwwtype.h"
#include "platform/file_system.h"

namespace plattero {

// An embedded image that a read, or the unpacking after it, could not carry
// over: the texts of the drawing that show it find no file.
struct TImageLeftOut {
  enum Kind {
    kUnusableName,  // a folder part, "." or "..": no file is ever written for it
    kNameWithNul,   // the stored name holds a NUL: no file can have it
    kNotWritten,    // the file could not be written (status says why)
    kCut,           // the drawing ends inside the image
    kNotUnpacked,   // a gzip image with damaged data, or one that could not be written
    kOverLimit,     // unpacking would pass the limit on unpacked bytes
  } kind = kNotWritten;
  std::u16string name;  // as the drawing names it
  platform::TFileStatus status;
};

// Information about a drawing for the text variables of a renderer, set by
// FileIn from the header it read.
struct TJwwDrawingInfo {
  std::u16string JwwFileName;
  std::u16string JwwDrawTime;
  std::u16string JwwMemo1, JwwMemo2, JwwMemo;
  double JwwPrtBairitsu = 1.0;
};

class ByteSink;

// The header and its tables: what the header section of a drawing holds.
struct TJwwHeaderTables {
  TEntJwwHeader Enthd;
  std::vector<TEntJwwLayerGroup> EntLgrp;
  std::vector<TEntJwwLayer> EntLay;
  std::vector<TEntJwwColorNo> EntCol;
  std::vector<TEntJwwLineTypeNo> EntLtp1;
  std::vector<TEntJwwRandomLineNo> EntLtp2;
  std::vector<TEntJwwLineTypeNo> EntLtp3;
  std::vector<TEntJwwColorExNo> EntColS;
  std::vector<TEntJwwLineTypeExNo> EntLtpS;
  std::vector<TEntJwwMojiType> EntMoj;
};

class TJwwData : public TJwwHeaderTables {
 public:
  TJwwData();
  TJwwData(const TJwwData&) = delete;
  TJwwData& operator=(const TJwwData&) = delete;
  ~TJwwData();

  // Resets the document to empty. Keeps BindImageFolder, BindImageExp,
  // BindImageExr and the extents.
  void DataInit();
  // Releases every list, nested ones included, then DataInit.
  void DataFree();
  // Exchanges everything read from a drawing (header, lists, image list and
  // kept image bytes, status, extents) with `other`; both keep their image
  // folder and options.
  void SwapContents(TJwwData& other) noexcept;
  // FileOutOpt := n for 0 <= n <= 63, else 0.
  void SetFileOutOption(std::int32_t n);

  // Gives every list room for 1000 more entries (500 for the nested lists of
  // block definitions) beyond its count. False when memory ran out.
  bool AddEntPre();

  // Reads a drawing (versions 220 to 700). True when every section was read.
  // Never throws; Status() says where and why a read stopped.
  bool FileIn(const std::u16string& FName);
  // The same over bytes already in memory (no file is opened). Images are
  // extracted into BindImageFolder as for a file.
  bool FileInBytes(const std::uint8_t* data, std::size_t size);
  const TJwwReadStatus& Status() const { return status_; }
  // Reads only the signature and the header section (Enthd and the tables),
  // fetching the file's first bytes and more only while the header needs
  // them. True when the whole header was read; Status() as for FileIn.
  bool HeaderIn(const std::u16string& FName);

  // Writes the document as a drawing of version Ver. The file is written under
  // a temporary name beside FName and renamed over it only when complete; on
  // failure FName is left as it was and WriteStatus() says why. A name that
  // exists and is not a regular file is never replaced. A document read from
  // a version below 420 and written as 420 or above is written with the
  // extended tables of a new drawing (InitExTables); the document keeps its
  // own. Never throws.
  bool FileOut(const std::u16string& FName, std::int32_t Ver);
  // The same into a sink: the drawing's bytes in order, then the images (from
  // BindImageFolder). False when the document holds no drawing, the sink
  // refused bytes or an image file shrank; WriteFailure() says which.
  bool FileOutTo(ByteSink& sink, std::int32_t Ver);
  TWriteFailure WriteFailure() const { return write_failure_; }
  // The file system's reason when WriteFailure() is kFile (kOther otherwise).
  const platform::TFileStatus& WriteStatus() const { return write_status_; }

  // Rebuilds the block nesting tree, the ref_flag/ref_no of every definition
  // and EntBlockNum.
  void MakeBlockTree();
  // The number under which block number n is written: the ref_no of the
  // first definition numbered n when it is flagged, n when it is not, and
  // DanglingBlockNo when no definition has that number.
  std::uint32_t ChangeBlockNo(std::uint32_t n) const;

  // Embedded images.
  void BindImageInit();
  // Unpacks each gzip image of the list beside itself, each name once. The
  // bytes unpacked stay within kMaxUnpackedImageBytes per image and, in all,
  // within UnpackAllowance(the drawing's size) and *budget when given (which is
  // lowered by what was unpacked). An image over the limit, or one that
  // cannot be unpacked, is noted in BindImageLeftOut.
  void BindImageExplode(std::uint64_t* budget = nullptr);
  // Writes the kept image bytes into BindImageFolder, as reading would have
  // extracted them, and lets them go.
  void BindImageWriteKept();
  void BindImageDeleteGzFile();
  void BindImageDeleteNonGzFile();

  // --- Fields (the header and its tables: TJwwHeaderTables) ----------------
  std::vector<TEntJwwNo> EntNo;  // file order of the top-level entities (Enthd.n1 = size)
  std::vector<TEntJwwLine> EntLine;
  std::vector<TEntJwwEnko> EntEnko;
  std::vector<TEntJwwTen> EntTen;
  std::vector<TEntJwwMoji> EntMoji;
  std::vector<TEntJwwSunpo> EntSunpo;
  std::vector<TEntJwwSolid> EntSolid;
  std::vector<TEntJwwBlock> EntBlock;

  std::vector<TEntJwwBlockDef> EntBlockDef;  // EntBlockDefN = Enthd.n2 = size
  std::vector<TEntJwwBlockTree> EntBlockTree;
  std::int32_t EntBlockNum = 0;  // definitions with ref_flag set
  bool EntBlockTreeCut = false;  // the tree was cut at its size or work bound

  std::u16string BindImageFolder;  // ends with a separator
  std::vector<TBindImageType> BindImage;
  bool BindImageExp = false;  // extract the image files when reading
  bool BindImageExr = false;  // read the image section even without extracting
  // Keep the image files' bytes in BindImageBytes (one entry per row of
  // BindImage, empty where nothing was carried) instead of extracting them;
  // BindImageWriteKept extracts them later.
  bool BindImageKeep = false;
  std::vector<std::vector<std::uint8_t>> BindImageBytes;
  // The images of the last read that could not be carried over (emptied with
  // the image list).
  std::vector<TImageLeftOut> BindImageLeftOut;

  std::int32_t FileOutOpt = 0;
  // The "%%" substitution table of the writer (FileOutOpt bit 0x10). Starts
  // off and empty; kept by DataInit, like the image folder.
  TextSubstitution FileOutSubstitution;
  bool MojiEncode = false;  // a UTF-16 string was met while reading
  // Set by FileIn once the header was read (FileInBytes: no file name);
  // emptied by DataInit.
  TJwwDrawingInfo DrawingInfo;

  std::vector<std::u16string> FontNames;
  double myMinWx = 0, myMinWy = 0, myMaxWx = 0, myMaxWy = 0;

 private:
  // Reads the file's bytes, refusing after its first bytes a file that is no
  // drawing. False (status set, document emptied) when it was not read.
  bool ReadDrawingBytes(const std::u16string& FName, std::vector<std::uint8_t>& bytes);
  bool ReadBytes(const std::uint8_t* data, std::size_t size, const std::u16string& name,
                 bool& header_ok);
  // Sets the status of a read that failed before the reader ran (the file
  // could not be opened or read, or no memory for it).
  void ReadFailed(std::uint64_t offset, TReadFailure failure, platform::TFileStatus file = {});
  // kFile takes the file system's status; the others leave it as kOther.
  void SetWriteFailure(TWriteFailure failure, platform::TFileStatus file = {});

  TJwwReadStatus status_;
  std::uint64_t source_bytes_ = 0;
  TWriteFailure write_failure_ = TWriteFailure::kNone;
  platform::TFileStatus write_status_;
};

// The number written for a reference to a definition the drawing does not
// have: one that no written definition takes (they are numbered 0 ..
// written_defs - 1), so the reference keeps pointing at nothing. n itself
// when that is free, else 0xFFFFFFFF.
inline std::uint32_t DanglingBlockNo(std::uint32_t n, std::int32_t written_defs) {
  return written_defs >= 0 && n >= static_cast<std::uint32_t>(written_defs) ? n : 0xFFFFFFFFu;
}

// True for an image file name with the extension ".gz" (any case).
bool IsGzImageName(const std::u16string& name);

}  // namespace plattero
