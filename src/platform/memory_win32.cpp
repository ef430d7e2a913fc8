#include "platform/memory.h"

namespace plattero::platform {

void AdviseHugePages(const void* /*data*/, std::size_t /*bytes*/) {
  // Large pages need a privilege ordinary users lack; nothing to advise.
}

}  // namespace plattero::platform
