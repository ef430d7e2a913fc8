#include <iostream>

#include "platform/arguments.h"

namespace plattero::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::ostream& StandardOut() {
  return std::cout;
}

std::ostream& StandardError() {
  return std::cerr;
}

}  // namespace plattero::platform
