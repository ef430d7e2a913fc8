#include "cli/cli_app.h"

#include <exception>
#include <utility>

#include "cli/commands.h"
#include "plattero_version.h"

namespace plattero::cli {

std::vector<CommandDef> BuiltinCommands() {
  return {InfoCommand(), DumpCommand(), ConvertCommand(), TileCommand(), SvgCommand()};
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::vector<CommandDef>& commands) {
  CLI::App app{"Inspects, converts and tiles Jw_cad drawings (.jww).", "plattero-cli"};
  app.set_version_flag("--version", std::string("plattero-cli ") + PLATTERO_VERSION);
  app.require_subcommand(1);
  // Options begin with "-" on every system. CLI11 would also take "/x" as an
  // option on Windows, where it is a path ("/plans/a.jww"); set before the
  // subcommands, which inherit it.
  app.allow_windows_style_options(false);
  std::vector<std::pair<CLI::App*, CommandAction>> actions;
  for (const CommandDef& c : commands) {
    CLI::App* sub = app.add_subcommand(c.name, c.description);
    actions.emplace_back(sub, c.setup(*sub));
  }

  // CLI11 takes the arguments in reverse order, without the program name.
  std::vector<std::string> reversed;
  if (args.size() > 1) reversed.assign(args.rbegin(), args.rend() - 1);
  try {
    app.parse(std::move(reversed));
  } catch (const CLI::Success& e) {  // --help, --help-all, --version
    app.exit(e, out, err);
    out.flush();
    return out ? kExitOk : kExitWriteFailed;
  } catch (const CLI::Error& e) {
    // CLI11's own exit codes are not ours: every parse error is a usage error.
    err << "plattero-cli: " << e.what() << " (see plattero-cli --help)\n";
    return kExitUsage;
  }

  int code = kExitUsage;
  CliStreams io{out, err};
  for (auto& [sub, action] : actions) {
    if (!sub->parsed()) continue;
    try {
      code = action(io);
    } catch (const std::exception& e) {
      err << "plattero-cli: " << sub->get_name() << ": " << e.what() << '\n';
      code = kExitReadFailed;
    }
    break;
  }
  out.flush();
  if (!out) {
    err << "plattero-cli: cannot write the output\n";
    return kExitWriteFailed;
  }
  return code;
}

}  // namespace plattero::cli
