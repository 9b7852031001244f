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

namespace {

const char kIni[] =
    "[General]\r\nInputPath=in\r\nOutputPath=out\r\nBackupPath=bak\r\nLogPath=log\r\n"
    "BankBIC=ABCDHUHB\r\nSEPACountries=AT,BE,DE,FR,HU,NL\r\n"
    "[PrioUrgent]\r\nSrcField=72\r\nSrcKeyword=URGENT\r\nTrgtField=Cd\r\nTrgtKeyword=URGP\r\n"
    "[PrioNormal]\r\nTrgtField=Cd\r\nTrgtKeyword=SEPA\r\n";

// About 400 bytes per order; every second order is a SEPA order, every tenth urgent.
std::string HuaFile(long orders) {
  std::string text =
      "\r\n:01:BENCH\r\n:02:0,00\r\n:03:0\r\n:04:ABCDHUHB\r\n:05:Minta Kft.\r\nBudapest\r\n"
      ":07: \r\n";
  text.reserve(static_cast<std::size_t>(orders) * 420 + 200);
  char buffer[1024];
  for (long i = 0; i < orders; ++i) {
    bool sepa = i % 2 == 0;
    std::snprintf(
        buffer, sizeof buffer,
        "%s{1:F0111773016XXXX%09ld}{2:I100DEUTDEFFXXXXN1}{4:\r\n:20:REF%08ld\r\n"
        ":32A:261208%s%ld,%02ld\r\n:50:\xc5rv\xa1zt\xfbr\x8b T\x81k\x94rf\xa3r\xa2g\x82p Kft.\r\n"
        "Budapest\r\nF\x8b utca 1.\r\n:52D:117730161111101800000000\r\n \r\nHUF0,00\r\n"
        "000 DE DE\r\n:57A:DEUTDEFF\r\n:59:/%s\r\nM\x81ller GmbH\r\nBerlin\r\n"
        "Hauptstrasse 5\r\n:70:Szamla %ld\r\n:71A:SHA\r\n:72:%s\r\n \r\n \r\nT AB F CD\r\n"
        "HU\r\n-}\r\n",
        i == 0 ? "" : "$", i + 1, i, sepa ? "EUR" : "HUF", 1 + i % 9999999, i % 100,
        sepa ? "DE89370400440532013000" : "117730161111101800000000", i,
        i % 10 == 0 ? "URGENT" : "A B C D");
    text += buffer;
  }
  return text;
}

std::string IntFile(long orders) {
  std::string text =
      " \r\n:01:BENCH\r\n:02:0,00\r\n:03:0\r\n:04:ABCDHUHB\r\n:05:Sample Ltd.\r\nBudapest\r\n"
      ":06: \r\n:07: \r\n";
  text.reserve(static_cast<std::size_t>(orders) * 420 + 200);
  char buffer[1024];
  for (long i = 0; i < orders; ++i) {
    bool sepa = i % 2 == 0;
    std::snprintf(
        buffer, sizeof buffer,
        " \r\n:20:INT%08ld\r\n:32A:261208%s%ld,%02ld\r\n:50:M\x81ller Anna\r\nBudapest\r\n"
        "F\x94 utca 1.\r\n:52A:/D/HU42117730161111101800000000\r\nABCDHUHB\r\n:53A:/D/12345678\r\n"
        "CITIUS33\r\n:57A:BNPAFRPP\r\n:59:/%s\r\nCaf\x82 \x90toile SARL\r\nParis\r\n"
        "Rue de la Paix 1\r\n:70:INVOICE %ld\r\nSECOND LINE OF REMITTANCE\r\n:71A:SHA\r\n"
        ":72:%s\r\n/ACC/SECOND LINE\r\n",
        i, sepa ? "EUR" : "USD", 1 + i % 9999999, i % 100,
        sepa ? "FR1420041010050500013M02606" : "123456789012", i,
        i % 10 == 0 ? "URGENT" : "/INS/NOTHING");
    text += buffer;
  }
  return text;
}

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
    WriteFile(argv[4], std::string(argv[2]) == "INT" ? IntFile(orders) : HuaFile(orders));
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
    Bench("HUA", orders, HuaFile(orders));
    Bench("INT", orders, IntFile(orders));
  }
  return 0;
}
