#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  return plattero::cli::RunCli(args, std::cout, std::cerr);
}
