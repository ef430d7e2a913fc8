#pragma once

// The command line of plattero-cli: a table of subcommands, each declaring its
// own options and returning what to run once the line is parsed. Adding a
// subcommand is one function that fills a CommandDef and one row in
// BuiltinCommands().

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace plattero::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitReadFailed = 1,   // the drawing could not be read completely
  kExitUsage = 2,        // the command line was wrong
  kExitWriteFailed = 3,  // the output could not be written
};

struct CliStreams {
  std::ostream& out;
  std::ostream& err;
};

// What a subcommand does once its options hold the parsed values.
using CommandAction = std::function<int(CliStreams& io)>;

struct CommandDef {
  std::string name;
  std::string description;
  // Declares the subcommand's options and positionals on `sub` (binding them
  // to storage the returned action owns) and returns the action.
  std::function<CommandAction(CLI::App& sub)> setup;
};

// info, dump, convert, tile and svg, in the order --help lists them.
std::vector<CommandDef> BuiltinCommands();

// Parses `args` (args[0] is the program name) and runs the chosen subcommand.
// Parse errors print one line to err and give kExitUsage; --help and --version
// print to out and give kExitOk. An exception out of a command is reported in
// one line and gives kExitReadFailed; a failure to write `out` gives
// kExitWriteFailed.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::vector<CommandDef>& commands = BuiltinCommands());

}  // namespace plattero::cli
