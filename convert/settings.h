// The settings of one run, read once from varnex.ini beside the executable.
//
// Every directory setting is resolved against the program directory and ends in exactly one
// separator, or is empty (the current directory). A missing file, section or key gives the
// key's default. Texts that are compared with or copied into message text (the keywords,
// BankBIC) are brought into CP852, the records' code page, by ToRecordCodePage once the code
// page tables are open.
//
// Load also returns what it did not understand: a switch that is neither 0 nor 1, a MinFileAge
// that is no plain number, a [SEPA] value that is none of its choices, a service level that a
// pain.001.001.09 document cannot carry, a comment after a value, a line that is no section,
// key or comment (configuration errors), and keys or sections it does not read (a warning). The
// reader only reports them; the caller decides and logs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/sepa_options.h"

namespace varnex {

class CodePages;
class FileSystem;
class IniFile;

// One key of varnex.ini, as the program asks for it.
struct SettingsKey {
  enum class Kind { kText, kSwitch, kSeconds, kChoice };
  std::string_view section;
  std::string_view key;
  Kind kind = Kind::kText;
  // kChoice: the values allowed, separated by '|'; case matters.
  std::string_view choices;
};

// Something in varnex.ini the program does not take as it stands.
struct SettingsProblem {
  enum class Kind {
    kInvalid,         // a configuration error: the run must not convert anything
    kUnknown,         // keys and sections nothing reads, all of them in one problem
    kEmptyExtension,  // [PrioUrgent] TrgtExtension present but empty
  };
  Kind kind;
  // kInvalid: the setting or line as written and what is wrong with it (Hungarian, UTF-8 when
  // the file is); kUnknown: the names, comma-separated; kEmptyExtension: empty.
  std::string text;

  bool IsError() const { return kind == Kind::kInvalid; }
};

struct Settings {
  std::string iniPath;

  // [General]
  std::string inputPath;
  std::string outputPath;
  std::string outputPathHua;
  std::string outputPathInt;
  std::string backupPath;
  std::string logPath;
  std::string tmpPath;  // read and resolved; nothing uses it
  // [INT2HUA]; a switch is 0 or 1 (any other value is a configuration error).
  std::int32_t convertIntToHua = 0;
  std::int32_t autofillChargesAccount = 0;
  // [General]
  std::string bankBic;
  std::string sepaCountries;
  // Switches and limits of the safety checks.
  std::int32_t checkTotals = 1;       // compare :03:/:02: with the orders read
  std::int32_t minFileAge = 0;        // seconds; younger inputs wait (input directory mode)
  std::int32_t rejectDuplicates = 1;  // refuse an input whose bytes equal a backup
  // Refuse a file whose document would carry a MsgId written before.
  std::int32_t rejectReusedMsgId = 1;
  // [PrioUrgent]
  std::string urgentSrcField;
  std::string urgentSrcKeyword;
  std::string urgentTrgtField;
  std::string urgentTrgtKeyword;
  // A present but empty TrgtExtension stays empty; only a missing key means CCU.
  std::string urgentTrgtExtension = "CCU";
  // [PrioNormal]
  std::string normalTrgtField;
  std::string normalTrgtKeyword;
  // [ExchRate]
  std::string xchgSrcField;
  std::string xchgSrcKeyword;
  std::string xchgTrgtKeyword;
  // [SEPA]
  SepaOptions sepa;

  // Reads the settings from `text`, the content of the file `iniPath` (empty when the file
  // is missing). Directory values are resolved against `programDir`. Returns what the text
  // holds that is not understood, errors and warnings in file order.
  std::vector<SettingsProblem> Load(const std::string& iniPathValue, const std::string& text,
                                    const std::string& programDir);

  // Converts the texts that meet message text from the file's encoding (UTF-8, or CP1250
  // when the file is not valid UTF-8) into CP852.
  void ToRecordCodePage(const CodePages& codePages);

  // The keys Load reads, in the order it reads them.
  static std::vector<SettingsKey> KeysRead();

 private:
  // Takes the values from `ini`; appends every key it asks for to `keysRead` when given.
  void Read(const IniFile& ini, const std::string& programDir, std::vector<SettingsKey>* keysRead);

  bool utf8_ = true;
};

// Returns `path` made absolute against `programDir` and lexically normalised ("." and ".."
// folded, no links resolved); an empty path stays empty. `programDir` is absolute.
std::string ResolvePath(const std::string& path, const std::string& programDir);

}  // namespace varnex
