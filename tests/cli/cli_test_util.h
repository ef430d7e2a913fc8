#pragma once

// Helpers for the command-line tests: running commands into strings, a
// private TMPDIR, reading JSON output.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "cli/json_dump.h"
#include "test_system.h"

namespace plattero::cli_test {

using cli::Json;

struct CliRun {
  int code = -1;
  std::string out, err;
};

// Runs the command line in-process ("plattero-cli" is put in front).
inline CliRun RunArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "plattero-cli");
  std::ostringstream out, err;
  CliRun r;
  r.code = cli::RunCli(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

using testing::ScopedEnv;
using testing::ScopedTempRoot;

inline std::size_t CountEntries(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e :
       std::filesystem::directory_iterator(testing::FsPath(folder)))
    ++n;
  return n;
}

inline std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(Json::parse(line));
  return lines;
}

// Compares two dumps line by line, reporting the first difference only.
inline ::testing::AssertionResult SameDump(const std::string& a, const std::string& b) {
  std::istringstream ia(a), ib(b);
  std::string la, lb;
  for (std::size_t line = 1;; ++line) {
    const bool ga = static_cast<bool>(std::getline(ia, la));
    const bool gb = static_cast<bool>(std::getline(ib, lb));
    if (!ga && !gb) return ::testing::AssertionSuccess();
    if (ga != gb || la != lb) {
      std::size_t at = 0;  // show the lines from shortly before their first difference
      while (at < la.size() && at < lb.size() && la[at] == lb[at])
        ++at;
      const std::size_t from = at > 200 ? at - 200 : 0;
      return ::testing::AssertionFailure()
             << "dumps differ at line " << line << ", column " << at << ":\n  ..."
             << la.substr(from, 400) << "\n  ..." << lb.substr(from, 400);
    }
  }
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(testing::FsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace plattero::cli_test
