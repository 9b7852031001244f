// The converter's entry point: wires the real platform to the application.
#include <iostream>

#include "app/application.h"
#include "app/check_mode.h"
#include "app/command_line.h"
#include "platform/native_platform.h"

int main(int nativeArgc, char** nativeArgv) {
  const std::vector<std::string> arguments = varnex::NativeArguments(nativeArgc, nativeArgv);
  std::vector<const char*> args;
  for (const std::string& argument : arguments) {
    args.push_back(argument.c_str());
  }
  args.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());
  const char* const* argv = args.data();
  switch (varnex::CommandOf(argc, argv)) {
  case varnex::Command::kHelp:
    std::cout << varnex::UsageText();
    return varnex::kExitOk;
  case varnex::Command::kVersion:
    std::cout << varnex::VersionText();
    return varnex::kExitOk;
  case varnex::Command::kMistypedCheck:
    std::cerr << varnex::UsageText();
    return varnex::kExitStartupFailed;
  case varnex::Command::kCheck:
  case varnex::Command::kConvert:
    break;
  }
  varnex::NativeFileSystem fs;
  varnex::SystemClock clock;
  varnex::NativeConsole console;
  std::unique_ptr<varnex::FilePicker> picker = varnex::MakeNativeFilePicker(fs);
  if (varnex::CommandOf(argc, argv) == varnex::Command::kCheck) {
    return varnex::RunCheck(varnex::Platform{fs, clock, console, *picker},
                            std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
  }
  int code;
  {
    varnex::Application app(varnex::Platform{fs, clock, console, *picker}, std::cerr);
    code = app.Main(argc, argv);
  }
  return code;
}
