// The converter's entry point: wires the real platform to the application.
#include <iostream>

#include "app/application.h"
#include "app/check_mode.h"
#include "app/command_line.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  switch (varnex::CommandOf(argc, argv)) {
  case varnex::Command::kHelp:
    std::cout << varnex::UsageText();
    return varnex::kExitOk;
  case varnex::Command::kVersion:
    std::cout << varnex::VersionText();
    return varnex::kExitOk;
  case varnex::Command::kMistypedCheck:
  case varnex::Command::kUnknownOption:
    std::cerr << varnex::UsageText();
    return varnex::kExitStartupFailed;
  case varnex::Command::kCheck:
  case varnex::Command::kConvert:
    break;
  }
  varnex::PosixFileSystem fs;
  varnex::SystemClock clock;
  varnex::StdoutConsole console;
  varnex::TerminalFilePicker picker(std::cin, std::cout, varnex::StdinIsTerminal(), fs);
  if (varnex::CommandOf(argc, argv) == varnex::Command::kCheck) {
    return varnex::RunCheck(varnex::Platform{fs, clock, console, picker},
                            std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
  }
  varnex::Application app(varnex::Platform{fs, clock, console, picker}, std::cerr);
  return app.Main(argc, argv);
}
