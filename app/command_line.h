// The commands the first argument selects before a conversion run starts.
//
// `--help`/`-h`, `--version` and `--check` are recognised before anything is logged; so are
// `-check` and `/check`, the easy typos of `--check`, which would otherwise start input
// directory mode. Every other argument keeps its meaning: `-c`/`/c` input directory mode,
// anything else manual selection.
#pragma once

#include <string>

namespace varnex {

enum class Command {
  kConvert,       // a conversion run in the mode the argument selects
  kHelp,          // print the usage text, exit 0
  kVersion,       // print the version, exit 0
  kCheck,         // the dry run over the remaining arguments
  kMistypedCheck  // print the usage text, exit 1
};

// The command of `argv[1]` (kConvert without one).
Command CommandOf(int argc, const char* const* argv);

// The usage text (UTF-8, Hungarian).
std::string UsageText();

// "varnex <version>\n".
std::string VersionText();

}  // namespace varnex
