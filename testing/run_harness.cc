#include "testing/run_harness.h"

#include <algorithm>
#include <filesystem>

#include "app/application.h"
#include "app/check_mode.h"
#include "app/completeness.h"
#include "app/safety/backup_index.h"
#include "convert/field_rules.h"
#include "output/formatters.h"
#include "util/string_printf.h"

namespace varnex {

RunHarness::RunHarness() : fs(dir_.path()) {
  for (const char* sub : {"in", "out", "bak", "log"}) {
    std::filesystem::create_directory(dir_.path() + sub);
  }
  WriteIni(kIni);
}

std::string RunHarness::Path(const std::string& relative) const {
  std::string path = root() + relative;
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(root().size()), path.end(), '/',
               kDirSeparator);
  return path;
}

void RunHarness::WriteIni(const std::string& text) const {
  WriteFileBytes(Path("varnex.ini"), text);
}

void RunHarness::WriteInput(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(Path("in/" + name), bytes);
}

int RunHarness::Run(const std::string& argument) {
  std::vector<std::string> arguments = {"varnex"};
  if (!argument.empty()) {
    arguments.push_back(argument);
  }
  return RunCommand(arguments);
}

int RunHarness::RunCommand(const std::vector<std::string>& arguments) {
  console.Clear();
  errors.str("");
  const CommandLine line = ParseCommandLine(arguments);
  if (line.command == Command::kCheck) {
    std::ostringstream report;
    int code = RunCheck(Platform{fs, clock, console, picker}, line.files, report, errors);
    log_ = report.str();
    return code;
  }
  int code;
  {
    Application app(Platform{fs, clock, console, picker}, errors);
    code = app.Main(line);
  }
  TestLog strip;
  strip.console.Write(console.text());
  log_ = strip.Messages();
  return code;
}

std::vector<std::string> RunHarness::Files(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(Path(relative), ec)) {
    // The records beside the backups are not files of the conversion.
    if (!IsBackupDirectoryRecord(entry.path().filename().string())) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// The header totals ":02:<sum>\r\n:03:<count>\r\n" of `messages`, taken from their :32A:
// lines; "0,00" and "0" (not filled) when an amount does not read as one.
std::string TotalsLines(const std::vector<std::string>& messages) {
  std::int64_t cents = 0;
  for (const std::string& m : messages) {
    std::size_t at = m.find(":32A:");
    std::size_t end = at == std::string::npos ? at : m.find('\r', at);
    AmountReading amount;
    if (end != std::string::npos && end > at + 14) {
      amount = ReadAmount(std::string_view(m).substr(at + 14, end - at - 14));
    } else {
      amount.problem = "no amount";
    }
    if (!amount.problem.empty()) {
      return ":02:0,00\r\n:03:0\r\n";
    }
    cents += amount.cents;
  }
  return ":02:" + FormatAmountComma(cents) + "\r\n:03:" + std::to_string(messages.size()) + "\r\n";
}

// A :01: message id of its own for every set of messages, as an exporting program gives one
// per file.
std::string MessageIdOf(const std::vector<std::string>& messages) {
  std::string all;
  for (const std::string& m : messages) {
    all += m;
  }
  return StringPrintf("MSG%08llX",
                      static_cast<unsigned long long>(FingerprintOf(all).hash & 0xFFFFFFFFu));
}

}  // namespace

std::string HuaMessage(bool first, const std::string& ref, const std::string& ccyAmount,
                       const std::string& bic, const std::string& account,
                       const std::string& info72) {
  return std::string(first ? "" : "$") + "{1:F0111773016XXXX000000001}{2:I100" + bic +
         "XXXXN1}{4:\r\n:20:" + ref + "\r\n:32A:261208" + ccyAmount +
         "\r\n:50:Minta Kft.\r\nBudapest\r\n:52D:117730161111101800000000\r\n \r\nHUF0,00\r\n"
         "000 DE DE\r\n:57A:" +
         bic + "\r\n:59:/" + account + "\r\nMuster GmbH\r\nBerlin\r\n:70:Szamla " + ref +
         "\r\n:71A:SHA\r\n:72:" + info72 + "\r\n \r\n \r\nT AB F CD\r\nHU\r\n-}\r\n";
}

std::string HuaFile(const std::vector<std::string>& messages) {
  std::string text = "\r\n:01:" + MessageIdOf(messages) + "\r\n" + TotalsLines(messages) +
                     ":04:ABCDHUHB\r\n:05:Minta Kft.\r\nBudapest\r\n:07: \r\n";
  for (const std::string& m : messages) {
    text += m;
  }
  return text;
}

std::string IntMessage(const std::string& ref, const std::string& ccyAmount,
                       const std::string& debtorIban, const std::string& bic,
                       const std::string& account, const std::string& info72) {
  std::string text = " \r\n:20:" + ref + "\r\n:32A:261208" + ccyAmount +
                     "\r\n:50:Sample Ltd.\r\n:52A:/D/" + debtorIban +
                     "\r\nABCDHUHB\r\n:57A:" + bic + "\r\n:59:/" + account +
                     "\r\nReceiver\r\n:70:INV " + ref + "\r\n:71A:SHA\r\n";
  if (!info72.empty()) {
    text += ":72:" + info72 + "\r\n";
  }
  return text;
}

std::string IntFile(const std::vector<std::string>& messages) {
  std::string text = " \r\n:01:" + MessageIdOf(messages) + "\r\n" + TotalsLines(messages) +
                     ":04:ABCDHUHB\r\n:05:Sample Ltd.\r\n:06: \r\n:07: \r\n";
  for (const std::string& m : messages) {
    text += m;
  }
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

}  // namespace varnex
