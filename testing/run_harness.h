// A whole converter run inside the test process: a temporary program directory with
// varnex.ini and the input, output, backup and log directories, a fixed clock, a captured
// console and a file system that can fail any single step.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/safety/message_ids.h"
#include "platform/platform.h"
#include "testing/fake_platform.h"
#include "testing/faulty_file_system.h"

namespace varnex {

// Answers the manual selection with a fixed list; an empty list cancels.
class FakePicker : public FilePicker {
 public:
  bool Pick(const std::vector<std::string>& candidates, std::vector<std::string>* chosen) override {
    offered = candidates;
    *chosen = answer;
    return !answer.empty();
  }
  std::string Failure() const override { return failure; }
  std::vector<std::string> answer;
  std::string failure;  // with an empty answer: the picker could not offer a choice
  std::vector<std::string> offered;
};

class RunHarness {
  ScopedTempDir dir_;  // first: the file system below is built from its path

 public:
  // Settings used unless a test writes its own: directories in/, out/, bak/, log/ (all
  // made), SEPA countries DE FR HU NL, the urgency rule on :72: with keyword URGENT.
  static constexpr const char* kIni =
      "[General]\nInputPath=in\nOutputPath=out\nBackupPath=bak\nLogPath=log\n"
      "BankBIC=ABCDHUHB\nSEPACountries=DE,FR,HU,NL\n"
      "[PrioUrgent]\nSrcField=72\nSrcKeyword=URGENT\nTrgtField=Cd\nTrgtKeyword=URGP\n"
      "[PrioNormal]\nTrgtField=Cd\nTrgtKeyword=SEPA\n";

  RunHarness();

  const std::string& root() const { return dir_.path(); }
  // `relative` spelled with '/', in the platform's spelling.
  std::string Path(const std::string& relative) const;
  void WriteIni(const std::string& text) const;
  void WriteInput(const std::string& name, const std::string& bytes) const;

  // Runs the converter with the given first argument ("" for none); returns the exit code.
  int Run(const std::string& argument = "-c");
  // Runs the conversion or the --check that `arguments` (program name first) select.
  int RunCommand(const std::vector<std::string>& arguments);

  // The log messages of the last run, without time prefixes; the report of a --check.
  std::string Log() const { return log_; }
  // Names of the files in `relative` (sorted), dot files included, the duplicate index not.
  std::vector<std::string> Files(const std::string& relative) const;
  std::string Read(const std::string& relative) const { return ReadFileBytes(Path(relative)); }

  FaultyFileSystem fs;
  FakeClock clock;
  CapturingConsole console;
  FakePicker picker;
  std::ostringstream errors;

 private:
  std::string log_;
};

// A HUA message (block header, :20:, :32A:, :50:, :52D:, :57A:, :59:, :70:, :71A:, :72:).
std::string HuaMessage(bool first, const std::string& ref, const std::string& ccyAmount,
                       const std::string& bic, const std::string& account,
                       const std::string& info72 = "A B C D");
// A HUA file: empty line, header with the true count and sum of the messages, the messages.
std::string HuaFile(const std::vector<std::string>& messages);
// An INT message with the debtor account under :52A:.
std::string IntMessage(const std::string& ref, const std::string& ccyAmount,
                       const std::string& debtorIban, const std::string& bic,
                       const std::string& account, const std::string& info72 = "");
// An INT file: header with the true count and sum, the messages.
std::string IntFile(const std::vector<std::string>& messages);

// Counts the non-overlapping occurrences of `what` in `text`.
int Count(const std::string& text, const std::string& what);

// A recorded message id in test failures: "id -> output".
inline void PrintTo(const WrittenMessageId& written, std::ostream* out) {
  *out << written.id << " -> " << written.output;
}

}  // namespace varnex
