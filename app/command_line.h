// The command the arguments select, read from all of them before anything runs.
//
// `--help`/`-h` anywhere prints the usage. `--version` stands alone. `-c` (or `/c`) is input
// directory mode; `--check` the dry run, over the files given or, without any (or with `-c`),
// over the input directory. Other arguments not beginning with '-' are files: without
// `--check` they are converted as if chosen by hand; with `--resubmit` (files required, no
// `-c` or `--check`) as a deliberate resend. Anything else, or a combination that means
// nothing (`-c` with files, an option twice, `--version` with anything), is a usage error:
// the usage on standard error, exit 1.
#pragma once

#include <string>
#include <vector>

namespace varnex {

enum class Command {
  kConvert,    // a conversion run in `mode`
  kCheck,      // the dry run over `files` (the input directory when empty)
  kHelp,       // print the usage text, exit 0
  kVersion,    // print the version, exit 0
  kUsageError  // print the usage text on standard error, exit 1
};

enum class RunMode { kInputDirectory, kManualSelection };

struct CommandLine {
  Command command = Command::kConvert;
  RunMode mode = RunMode::kManualSelection;
  // kConvert in manual selection: the files named (none: the user chooses); kCheck: the files
  // and directories to check.
  std::vector<std::string> files;
  // kConvert of named files sent again on purpose: no duplicate check, fresh message ids.
  bool resubmit = false;
};

// Reads `arguments`, the program name first.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text (UTF-8, Hungarian).
std::string UsageText();

// "varnex <version>\n".
std::string VersionText();

}  // namespace varnex
