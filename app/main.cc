// The converter's entry point: wires the real platform to the application.
#include <iostream>

#include "app/application.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  varnex::PosixFileSystem fs;
  varnex::SystemClock clock;
  varnex::StdoutConsole console;
  varnex::TerminalFilePicker picker(std::cin, std::cout, varnex::StdinIsTerminal(), fs);
  int code;
  {
    varnex::Application app(varnex::Platform{fs, clock, console, picker}, std::cerr);
    code = app.Main(argc, argv);
  }
  return code;
}
