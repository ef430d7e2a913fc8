#pragma once

// The archive writer's sink over a file of the platform layer.

#include <cstddef>

#include "jww/archive.h"

namespace plattero {

// Hands the writer's bytes to a platform::TOutputFile or TScratchFile.
template <class File>
class FileSink : public ByteSink {
 public:
  explicit FileSink(File& file) : file_(file) {}
  bool Write(const void* data, std::size_t size) override { return file_.Write(data, size); }

 private:
  File& file_;
};

}  // namespace plattero
