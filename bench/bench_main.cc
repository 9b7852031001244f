// Benchmark: generates large HUA and INT files, converts each end to end with the real
// converter in input directory mode, and prints the median time of several runs, orders per
// second, MB per second and peak memory, beside a floor measured in the same run: the time the
// bare file work of that conversion takes (reading the input once; writing outputs of the same
// number and sizes in 64 KB writes, each synced and renamed; one write per log line of the
// run's log file to one open descriptor).
//
// Usage: varnex_bench [--repeat N] [--binary PATH]... [--sepa SETTINGS]... [--msgids N]
//        [orders ...]  (default: 5, 100000)
//        varnex_bench --generate HUA|INT orders path
// --msgids N: the backup directory starts with N message ids recorded (a year of daily files
// is some thousands), which every conversion reads once.
//
// The converter measured first is the one beside this program; each --binary adds another,
// and each --sepa the first converter again with those [SEPA] settings ("Format=
// pain.001.001.09", keys separated by ';'), measured on the same files in the same run, the
// converters taking turns. Every conversion
// uses a fresh temporary program directory with its own copy of the binary and varnex.ini.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/safety/message_ids.h"
#include "platform/posix_platform.h"
#include "testing/order_files.h"

namespace {

const char kIni[] =
    "[General]\r\nInputPath=in\r\nOutputPath=out\r\nBackupPath=bak\r\nLogPath=log\r\n"
    "BankBIC=ABCDHUHB\r\nSEPACountries=AT,BE,DE,FR,HU,NL\r\n"
    "[PrioUrgent]\r\nSrcField=72\r\nSrcKeyword=URGENT\r\nTrgtField=Cd\r\nTrgtKeyword=URGP\r\n"
    "[PrioNormal]\r\nTrgtField=Cd\r\nTrgtKeyword=SEPA\r\n";

constexpr std::size_t kChunk = 64 * 1024;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ProgramDir() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n == 0 ? 0 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// A fresh program directory with the binary, varnex.ini, the input and the empty
// directories; removed on destruction.
class RunDir {
 public:
  RunDir(const std::string& binary, const std::string& ini, const std::string& inputName,
         const std::string& input, long recordedIds) {
    char pattern[] = "/tmp/varnex-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path_ = std::string(pattern) + "/";
    for (const char* sub : {"in", "out", "bak", "log", "floor"}) {
      ::mkdir((path_ + sub).c_str(), 0755);
    }
    std::error_code ec;
    std::filesystem::copy_file(binary, path_ + "varnex", ec);
    if (ec) {
      std::fprintf(stderr, "cannot copy %s: %s\n", binary.c_str(), ec.message().c_str());
      std::exit(1);
    }
    WriteFile(path_ + "varnex.ini", ini);
    WriteFile(path_ + "in/" + inputName, input);
    std::vector<varnex::WrittenMessageId> ids;
    for (long i = 0; i < recordedIds; ++i) {
      ids.push_back({"B20261208093000123" + std::to_string(100000 + i),
                     "/srv/varnex/out/EXPORT_" + std::to_string(20261208093000123 + i) + ".CCT"});
    }
    varnex::PosixFileSystem fs;
    std::string reason;
    if (!ids.empty() && !varnex::AppendMessageIds(fs, path_ + "bak/", ids, &reason)) {
      std::fprintf(stderr, "cannot record message ids: %s\n", reason.c_str());
      std::exit(1);
    }
  }
  ~RunDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  RunDir(const RunDir&) = delete;
  RunDir& operator=(const RunDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Result {
  double seconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  long peakKb = 0;
  int exitCode = -1;
};

// Runs the converter of `dir` in input directory mode.
Result RunConverter(const std::string& dir) {
  Result result;
  std::fflush(stdout);  // the child must not write out what this process buffered
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
  result.seconds = Seconds(start);
  auto cpu = [](const struct timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  result.userSeconds = cpu(usage.ru_utime);
  result.systemSeconds = cpu(usage.ru_stime);
  result.peakKb = usage.ru_maxrss;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// What one conversion left: its outputs (name and size) and its log lines.
struct Produced {
  std::vector<std::pair<std::string, std::size_t>> outputs;
  std::size_t outputBytes = 0;
  std::size_t logLines = 0;
  std::size_t logBytes = 0;
};

Produced Survey(const std::string& dir) {
  Produced p;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir + "out", ec)) {
    std::size_t size = static_cast<std::size_t>(entry.file_size(ec));
    p.outputs.emplace_back(entry.path().filename().string(), size);
    p.outputBytes += size;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir + "log", ec)) {
    std::string log = ReadFile(entry.path().string());
    p.logLines += static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
    p.logBytes += log.size();
  }
  return p;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The bare file work of the conversion that left `p`, in `dir`floor/; returns its seconds.
double Floor(const std::string& dir, const std::string& inputPath, const Produced& p) {
  const std::string floor = dir + "floor/";
  const std::string chunk(kChunk, 'x');
  std::size_t lineSize = p.logLines == 0 ? 1 : std::max<std::size_t>(1, p.logBytes / p.logLines);
  const std::string line(lineSize - 1, 'x');
  const std::string logLine = line + "\n";
  bool ok = true;

  auto start = std::chrono::steady_clock::now();
  int in = ::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  ok = in >= 0 && ::fstat(in, &st) == 0;
  std::string input(ok ? static_cast<std::size_t>(st.st_size) : 0, '\0');
  std::size_t done = 0;
  while (ok && done < input.size()) {
    ssize_t n = ::read(in, input.data() + done, input.size() - done);
    ok = n > 0;
    done += ok ? static_cast<std::size_t>(n) : 0;
  }
  ::close(in);
  for (std::size_t k = 0; ok && k < p.outputs.size(); ++k) {
    std::string temp = floor + ".tmp" + std::to_string(k);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ok = fd >= 0;
    for (std::size_t left = p.outputs[k].second; ok && left > 0;) {
      std::size_t n = std::min(left, kChunk);
      ok = WriteAll(fd, chunk.data(), n);
      left -= n;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), (floor + p.outputs[k].first).c_str()) == 0;
  }
  int log = ::open((floor + "floor.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  ok = ok && log >= 0;
  for (std::size_t i = 0; ok && i < p.logLines; ++i) {
    ok = ::write(log, logLine.data(), logLine.size()) == static_cast<ssize_t>(logLine.size());
  }
  ::close(log);
  double seconds = Seconds(start);
  if (!ok) {
    std::fprintf(stderr, "the floor loop failed in %s\n", floor.c_str());
  }
  return seconds;
}

struct Measured {
  double seconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  double floorSeconds = 0;
  double peakMb = 0;
  int exitCode = 0;
  Produced produced;
};

// The figures of one binary: one sample per repetition, then their medians.
struct Samples {
  std::vector<double> times, floors, peaks, users, systems;
  Measured m;

  Measured Medians() {
    m.seconds = Median(times);
    m.userSeconds = Median(users);
    m.systemSeconds = Median(systems);
    m.floorSeconds = Median(floors);
    m.peakMb = Median(peaks);
    return m;
  }
};

// A converter measured: a binary and its settings.
struct Converter {
  std::string binary;
  std::string ini;
  std::string label;
};

// The bench settings with `sepa` ("Key=value;Key=value") as their [SEPA] section. The 2019
// version carries the urgent orders' service level as SEPA.
std::string IniWith(const std::string& sepa) {
  std::string ini = kIni;
  if (sepa.find("pain.001.001.09") != std::string::npos) {
    ini.replace(ini.find("TrgtKeyword=URGP"), 16, "TrgtKeyword=SEPA");
  }
  std::string section = sepa;
  std::replace(section.begin(), section.end(), ';', '\n');
  return ini + "[SEPA]\r\n" + section + "\r\n";
}

// One conversion of `input` with `converter`, followed by its floor loop.
void MeasureOnce(const Converter& converter, const std::string& inputName, const std::string& input,
                 long recordedIds, Samples& s) {
  RunDir dir(converter.binary, converter.ini, inputName, input, recordedIds);
  // The writeback of earlier runs' outputs is not to land in this one.
  ::sync();
  Result r = RunConverter(dir.path());
  // The conversion moved the input away; the floor reads a copy written just as it was.
  WriteFile(dir.path() + "floor.in", input);
  s.m.produced = Survey(dir.path());
  s.times.push_back(r.seconds);
  s.users.push_back(r.userSeconds);
  s.systems.push_back(r.systemSeconds);
  s.peaks.push_back(static_cast<double>(r.peakKb) / 1024.0);
  ::sync();
  s.floors.push_back(Floor(dir.path(), dir.path() + "floor.in", s.m.produced));
  if (r.exitCode != 0) {
    s.m.exitCode = r.exitCode;
  }
}

// The binaries take turns, one conversion each per round, so that a slow spell of a shared
// machine falls on all of them alike.
void Bench(const char* kind, long orders, const std::string& input,
           const std::vector<Converter>& binaries, int repeat, long recordedIds) {
  double mb = static_cast<double>(input.size()) / 1e6;
  std::printf("%s %ld orders, %.1f MB, %ld message ids recorded, median of %d:\n", kind, orders, mb,
              recordedIds, repeat);
  std::vector<Samples> samples(binaries.size());
  for (int i = 0; i < repeat; ++i) {
    for (std::size_t b = 0; b < binaries.size(); ++b) {
      MeasureOnce(binaries[b], std::string("BENCH.") + kind, input, recordedIds, samples[b]);
    }
  }
  for (std::size_t b = 0; b < binaries.size(); ++b) {
    Measured m = samples[b].Medians();
    std::printf(
        "  %7.3f s (user %.3f sys %.3f)  %9.0f orders/s  %6.1f MB/s  %6.1f us/order  "
        "peak %7.1f MB  exit %d  | floor %7.3f s (%zu outputs %.1f MB, %zu log lines)  x%.2f  "
        "%s\n",
        m.seconds, m.userSeconds, m.systemSeconds, static_cast<double>(orders) / m.seconds,
        mb / m.seconds, m.seconds * 1e6 / static_cast<double>(orders), m.peakMb, m.exitCode,
        m.floorSeconds, m.produced.outputs.size(),
        static_cast<double>(m.produced.outputBytes) / 1e6, m.produced.logLines,
        m.seconds / m.floorSeconds, binaries[b].label.c_str());
    std::fflush(stdout);
  }
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
  std::vector<Converter> binaries = {{ProgramDir() + "varnex", kIni, ProgramDir() + "varnex"}};
  int repeat = 5;
  long recordedIds = 0;
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--binary" && i + 1 < argc) {
      ++i;
      binaries.push_back({argv[i], kIni, argv[i]});
    } else if (arg == "--sepa" && i + 1 < argc) {
      ++i;
      binaries.push_back({binaries[0].binary, IniWith(argv[i]), binaries[0].label + " " + argv[i]});
    } else if (arg == "--msgids" && i + 1 < argc) {
      recordedIds = std::max(0L, std::strtol(argv[++i], nullptr, 10));
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, static_cast<int>(std::strtol(argv[++i], nullptr, 10)));
    } else {
      char* end = nullptr;
      long orders = std::strtol(arg.c_str(), &end, 10);
      if (arg.empty() || *end != '\0' || orders < 0) {
        std::fprintf(stderr,
                     "usage: varnex_bench [--repeat N] [--binary PATH]... [--sepa SETTINGS]... "
                     "[--msgids N] [orders ...]\n"
                     "       varnex_bench --generate HUA|INT orders path\n");
        return 1;
      }
      sizes.push_back(orders);
    }
  }
  if (sizes.empty()) {
    sizes.push_back(100000);
  }
  for (long orders : sizes) {
    Bench("HUA", orders, varnex::GenerateHuaFile(orders), binaries, repeat, recordedIds);
    Bench("INT", orders, varnex::GenerateIntFile(orders), binaries, repeat, recordedIds);
  }
  return 0;
}
