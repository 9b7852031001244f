// Benchmark: generates large HUA and INT files, converts each end to end with the real
// converter in input directory mode, and prints orders per second, MB per second and peak
// memory. Usage: varnex_bench [orders ...]   (default: 100000)
//        varnex_bench --generate HUA|INT orders path
//
// The converter binary is expected beside this one. Every run uses a fresh temporary
// program directory with its own varnex.ini.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "testing/order_files.h"

namespace {

const char kIni[] =
    "[General]\r\nInputPath=in\r\nOutputPath=out\r\nBackupPath=bak\r\nLogPath=log\r\n"
    "BankBIC=ABCDHUHB\r\nSEPACountries=AT,BE,DE,FR,HU,NL\r\n"
    "[PrioUrgent]\r\nSrcField=72\r\nSrcKeyword=URGENT\r\nTrgtField=Cd\r\nTrgtKeyword=URGP\r\n"
    "[PrioNormal]\r\nTrgtField=Cd\r\nTrgtKeyword=SEPA\r\n";

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ProgramDir() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1);
}

struct Result {
  double seconds = 0;
  long peakKb = 0;
  int exitCode = -1;
};

// Runs the converter in `dir` in input directory mode.
Result RunConverter(const std::string& dir) {
  Result result;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    FILE* devnull = std::freopen("/dev/null", "w", stdout);
    (void)devnull;
    ::execl("./varnex", "varnex", "-c", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peakKb = usage.ru_maxrss;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

void Bench(const char* kind, long orders, const std::string& bytes) {
  char pattern[] = "/tmp/varnex-bench-XXXXXX";
  std::string dir = std::string(::mkdtemp(pattern)) + "/";
  for (const char* sub : {"in", "out", "bak", "log"}) {
    ::mkdir((dir + sub).c_str(), 0755);
  }
  std::filesystem::copy_file(ProgramDir() + "varnex", dir + "varnex");
  WriteFile(dir + "varnex.ini", kIni);
  WriteFile(dir + "in/BENCH." + kind, bytes);
  Result r = RunConverter(dir);
  double mb = static_cast<double>(bytes.size()) / 1e6;
  std::printf(
      "%-4s %9ld orders %8.1f MB  %7.3f s  %10.0f orders/s  %7.1f MB/s  "
      "%6.1f us/order  peak %7.1f MB  exit %d\n",
      kind, orders, mb, r.seconds, static_cast<double>(orders) / r.seconds, mb / r.seconds,
      r.seconds * 1e6 / static_cast<double>(orders), static_cast<double>(r.peakKb) / 1024.0,
      r.exitCode);
  std::fflush(stdout);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace

int main(int argc, char** argv) {
  // --generate HUA|INT orders path: only writes an input file, for profiling.
  if (argc == 5 && std::string(argv[1]) == "--generate") {
    long orders = std::strtol(argv[3], nullptr, 10);
    WriteFile(argv[4], std::string(argv[2]) == "INT" ? varnex::GenerateIntFile(orders)
                                                     : varnex::GenerateHuaFile(orders));
    return 0;
  }
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) {
    sizes.push_back(std::strtol(argv[i], nullptr, 10));
  }
  if (sizes.empty()) {
    sizes.push_back(100000);
  }
  for (long orders : sizes) {
    Bench("HUA", orders, varnex::GenerateHuaFile(orders));
    Bench("INT", orders, varnex::GenerateIntFile(orders));
  }
  return 0;
}
