#pragma once

// The image table of a tiling run: the combined drawing's list of embedded
// images (GFile), starting with the base drawing's, and the added drawings'
// image files moved into the combined drawing's folder. Names compare
// regardless of case; an image of a name already listed with other contents
// takes a name of its own ("logo_2.bmp"), or the name of an earlier tile's
// identical image, and the table maps the added drawing's names to them.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "jww/jww_data.h"

namespace plattero {

class TImageTable {
 public:
  // The image folders of the combined drawing and of the drawing being
  // added, each ending with a separator.
  TImageTable(std::u16string tmp_path, std::u16string tmp_path2);

  // Starts the run's list with the base drawing's images.
  void Start(const std::vector<TBindImageType>& base);
  // Takes an added drawing's images (its files in the second folder) into
  // the list and their files into the first folder. Returns the images whose
  // files could be neither moved nor copied (kNotWritten, with the system's
  // reason when it gave one).
  std::vector<TImageLeftOut> Merge(const std::vector<TBindImageType>& added);
  // Rewrites the image references ("^@BM%temp%name,...") of the drawing
  // merged last to the names its images got.
  void RenameImageReferences(std::vector<TEntJwwMoji>& texts) const;

  const std::vector<TBindImageType>& Rows() const { return GFile; }
  // Forgets the list and every name given.
  void Clear();

 private:
  // A name of its own for an image of the drawing being added that clashes
  // with another image of the same name.
  std::u16string FreeImageName(const std::u16string& shown, const std::u16string& gz_suffix);

  std::u16string TmpPath, TmpPath2;
  std::vector<TBindImageType> GFile;
  // Upper-cased name -> first row of GFile with that name.
  std::unordered_map<std::u16string, std::size_t> rows_;
  // Renamed images by upper-cased stem: the next number to try, and the
  // images given a name of that stem by their contents' hash (so that an
  // identical image of a later tile shares the name).
  struct TRenames {
    std::int32_t next = 2;
    std::unordered_multimap<std::uint64_t, std::size_t> by_hash;  // hash -> GFile row
  };
  std::unordered_map<std::u16string, TRenames> renamed_;
  // The drawing merged last: its renamed images (upper-cased old name -> new
  // name), so that its references show its own image.
  std::unordered_map<std::u16string, std::u16string> renames_;
};

}  // namespace plattero
