// The converter's entry point: wires the real platform to the application.
#include <iostream>

#include "app/application.h"
#include "app/check_mode.h"
#include "app/command_line.h"
#include "platform/native_platform.h"

int main(int nativeArgc, char** nativeArgv) {
  // Every text, the usage included, goes through the console the run's lines use.
  varnex::NativeConsole console;
  varnex::StandardStreamsThroughConsole streams(console);
  const varnex::CommandLine line =
      varnex::ParseCommandLine(varnex::NativeArguments(nativeArgc, nativeArgv));
  switch (line.command) {
  case varnex::Command::kHelp:
    std::cout << varnex::UsageText();
    return varnex::kExitOk;
  case varnex::Command::kVersion:
    std::cout << varnex::VersionText();
    return varnex::kExitOk;
  case varnex::Command::kUsageError:
    std::cerr << varnex::UsageText();
    return varnex::kExitStartupFailed;
  case varnex::Command::kCheck:
  case varnex::Command::kConvert:
    break;
  }
  varnex::NativeFileSystem fs;
  varnex::SystemClock clock;
  std::unique_ptr<varnex::FilePicker> picker = varnex::MakeNativeFilePicker(fs);
  if (line.command == varnex::Command::kCheck) {
    return varnex::RunCheck(varnex::Platform{fs, clock, console, *picker}, line.files, std::cout,
                            std::cerr);
  }
  varnex::Application app(varnex::Platform{fs, clock, console, *picker}, std::cerr);
  return app.Main(line);
}
