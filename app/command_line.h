// The commands the arguments select before a conversion run starts.
//
// `--help`/`-h` (anywhere among the arguments), `--version` and `--check` are recognised
// before anything is logged. `-check` and `/check`, the easy typos of `--check` that would
// otherwise start input directory mode, and any other argument beginning with "--" (a
// mistyped option must not start a conversion) print the usage on standard error, exit 1.
// Every other first argument keeps its meaning: `-c`/`/c` input directory mode, anything else
// manual selection.
#pragma once

#include <string>

namespace varnex {

enum class Command {
  kConvert,        // a conversion run in the mode the argument selects
  kHelp,           // print the usage text, exit 0
  kVersion,        // print the version, exit 0
  kCheck,          // the dry run over the remaining arguments
  kMistypedCheck,  // print the usage text on standard error, exit 1
  kUnknownOption   // likewise: an argument beginning with "--" that is no option
};

// The command of the arguments (kConvert without any).
Command CommandOf(int argc, const char* const* argv);

// The usage text (UTF-8, Hungarian).
std::string UsageText();

// "varnex <version>\n".
std::string VersionText();

}  // namespace varnex
