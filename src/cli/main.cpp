#include <iostream>

#include "cli/cli_app.h"
#include "platform/arguments.h"
#include "platform/temporary.h"

int main(int argc, char** argv) {
  // Before any other thread: an interrupt removes our temporary files and
  // folders, and a file-size limit fails a write instead of ending us.
  plattero::platform::InstallInterruptCleanup();
  std::ios::sync_with_stdio(false);
  return plattero::cli::RunCli(plattero::platform::ProgramArguments(argc, argv),
                               plattero::platform::StandardOut(),
                               plattero::platform::StandardError());
}
