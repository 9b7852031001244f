#include "app/check_mode.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "app/application.h"
#include "app/completeness.h"
#include "app/conversion_run.h"
#include "app/file_driver.h"
#include "app/run_log.h"
#include "app/safety/backup_index.h"
#include "app/safety/directories.h"
#include "app/safety/file_commit.h"
#include "app/safety/message_ids.h"
#include "convert/converter.h"
#include "convert/field_rules.h"
#include "convert/settings.h"
#include "mt/mt_file.h"
#include "output/formatters.h"
#include "output/schema_validator.h"
#include "platform/code_page.h"
#include "util/string_printf.h"
#include "util/visible_text.h"

namespace varnex {
namespace {

// Feeds a document to the schema validator.
class ValidatingSink : public ByteSink {
 public:
  explicit ValidatingSink(SchemaValidator& validator) : validator_(validator) {}
  bool Append(std::string_view bytes) override {
    validator_.Feed(bytes);
    return true;
  }

 private:
  SchemaValidator& validator_;
};

// Takes a document and keeps nothing (the HUA and INT outputs).
class DiscardingSink : public ByteSink {
 public:
  bool Append(std::string_view) override { return true; }
};

constexpr std::string_view kInstructedAmount = "PmtInf/CdtTrfTxInf/Amt/InstdAmt";

bool HasAmountProblem(const Classification& classification, const FileProblem& problem) {
  for (const FileProblem& amount : classification.amountProblems) {
    if (amount.message == problem.message) {
      return true;
    }
  }
  return false;
}
// What the check of one file found.
enum class Verdict { kConvertible, kRefused, kSkipped };

class Checker {
 public:
  Checker(Platform platform, const Settings& settings, const CodePages& codePages,
          SchemaValidator& validator, std::ostream& out)
      : platform_(platform),
        settings_(settings),
        codePages_(codePages),
        validator_(validator),
        out_(out),
        log_(platform.fs, platform.clock, platform.console),
        tempNames_(platform.fs),
        backupIndex_(platform.fs, tempNames_, settings.backupPath),
        messageIds_(platform.fs, settings.backupPath) {
    log_.Mute();
  }

  // Reports on `path`.
  Verdict CheckFile(const std::string& path);

 private:
  // One line of a file's report, placed by the input line it is about (0: the file).
  struct Line {
    int line;
    std::string text;
  };
  // The line on which `message` (1-based) starts, of the file's MessageLines(); 0 for the
  // file or its header.
  static int LineOf(const std::vector<int>& lines, long message) {
    return message > 0 && static_cast<std::size_t>(message) <= lines.size()
               ? lines[static_cast<std::size_t>(message - 1)]
               : 0;
  }
  // A refusal, in the form editors jump to.
  void Problem(const std::string& path, int line, const std::string& text) {
    lines_.push_back({line, VisibleText(path + ':' + std::to_string(line) + ": hiba: " + text)});
  }
  void ReportNonSepa(const MtFile& file, const std::vector<int>& lines,
                     const Classification& classification);
  // The problems a run would meet in `dir`, the directory of `what`.
  void CheckDirectory(const std::string& dir, const std::string& what,
                      std::vector<FileProblem>* problems);
  // Writes the summary, then the lines in input line order, then a blank line.
  Verdict Finish(const std::string& path, bool convertible, const std::string& summary);

  Platform platform_;
  const Settings& settings_;
  const CodePages& codePages_;
  SchemaValidator& validator_;
  std::ostream& out_;
  RunLog log_;
  TempNames tempNames_;
  BackupIndex backupIndex_;  // read only: never saved
  MessageIdRecord messageIds_;
  std::int32_t sequence_ = 0;
  std::vector<Line> lines_;
};

void Checker::ReportNonSepa(const MtFile& file, const std::vector<int>& lines,
                            const Classification& classification) {
  std::unique_ptr<Converter> converter = MakeConverter(file.fileName(), settings_, platform_.clock);
  if (converter == nullptr) {
    return;
  }
  converter->SetFileHeader(file.headerText(), file.header());
  for (int i = 0; i < file.MessageCount(); ++i) {
    if (classification.classes[static_cast<std::size_t>(i)].sepa) {
      continue;
    }
    converter->SetMessage(file.messageText(i), file.message(i));
    // Each rule the order fails on a line of its own, under the order.
    int line = lines[static_cast<std::size_t>(i)];
    std::string text =
        StringPrintf("  %d. sor: ", line) +
        DescribeProblem(&file, FileProblem{i + 1L, "nem SEPA-megbízás:"}, codePages_);
    for (const std::string& reason : converter->SepaFailures(codePages_)) {
      text.append("\n      ").append(VisibleText(reason));
    }
    lines_.push_back({line, text});
  }
}

void Checker::CheckDirectory(const std::string& dir, const std::string& what,
                             std::vector<FileProblem>* problems) {
  std::string shown = dir.empty() ? "(az aktuális könyvtár)" : dir;
  if (!platform_.fs.IsDirectory(dir)) {
    problems->push_back({0, "a(z) " + what + " könyvtára nem létezik: " + shown});
  } else if (!platform_.fs.CanWriteIn(dir)) {
    problems->push_back({0, "a(z) " + what + " könyvtárába nem írhat ez a felhasználó: " + shown});
  }
}

Verdict Checker::Finish(const std::string& path, bool convertible, const std::string& summary) {
  out_ << VisibleText(path) << ": " << (convertible ? "konvertálható" : "NEM konvertálható")
       << '\n';
  if (!summary.empty()) {
    out_ << "  " << summary << '\n';
  }
  std::stable_sort(lines_.begin(), lines_.end(),
                   [](const Line& a, const Line& b) { return a.line < b.line; });
  for (const Line& line : lines_) {
    out_ << line.text << '\n';
  }
  lines_.clear();
  out_ << '\n';
  return convertible ? Verdict::kConvertible : Verdict::kRefused;
}

Verdict Checker::CheckFile(const std::string& path) {
  MtKind kind = KindOfPath(path);
  // A name that leads nowhere is an error, whatever its ending.
  if (kind == MtKind::kOther && platform_.fs.Exists(path)) {
    out_ << VisibleText(path) << ": kihagyva: nem HUA vagy INT fájl\n\n";
    return Verdict::kSkipped;
  }
  FileIdentity identity;
  std::string bytes;
  std::string reason;
  if (!platform_.fs.StatRegular(path, &identity)) {
    Problem(path, 0, "az input fájl nem olvasható (nincs ilyen közönséges fájl)");
    return Finish(path, false, "");
  }
  if (platform_.fs.IsLink(path)) {
    Problem(path, 0, LinkInputText());
    return Finish(path, false, "");
  }
  if (!platform_.fs.ReadFile(path, &bytes, &reason)) {
    Problem(path, 0, "az input fájl nem olvasható (" + reason + ")");
    return Finish(path, false, "");
  }
  std::string itself;
  if (SameDirectory(platform_.fs, DirectoryOf(path), settings_.backupPath)) {
    itself = path;
  }
  std::optional<std::string> copy;
  std::string unreadable;
  if (itself.empty() && settings_.rejectDuplicates == 1) {
    copy = backupIndex_.FindCopy(bytes, FingerprintOf(bytes), &identity, &itself, &unreadable);
  }
  if (copy || !itself.empty() || !unreadable.empty()) {
    Problem(path, 0,
            copy             ? DuplicateText(*copy)
            : itself.empty() ? UnconfirmedCopyText(unreadable)
                             : BackupInputText(itself));
    return Finish(path, false, "");
  }

  MtFile file;
  file.Parse(path, std::move(bytes), codePages_);
  ConversionContext context{settings_, platform_.clock, codePages_, log_, sequence_, true};
  Classification classification = Classify(file, context);
  LogClassification(classification, log_);
  std::vector<FileProblem> problems =
      FindIncompleteness(file, classification, settings_.checkTotals == 1);
  for (const GrammarFinding& dropped : classification.grammar.dropped) {
    lines_.push_back(
        {dropped.line,
         VisibleText(StringPrintf("%s:%d: kimarad: ", path.c_str(), dropped.line) + dropped.text)});
  }
  CheckDirectory(settings_.backupPath, "backup", &problems);
  // A run waits for a file that may still be being written, but not for one from the future.
  if (std::string ahead = FutureStampText(identity, platform_.clock.Now(), settings_.minFileAge);
      !ahead.empty()) {
    problems.push_back({0, ahead});
  } else if (settings_.minFileAge > 0 && identity.mtimeNs > 0) {
    std::int64_t ageMs = EpochMs(platform_.clock.Now()) - identity.mtimeNs / 1000000;
    std::int64_t waitMs = static_cast<std::int64_t>(settings_.minFileAge) * 1000 - ageMs;
    if (waitMs > 0) {
      lines_.push_back(
          {0, StringPrintf("  MinFileAge: a fájl %d másodpercnél frissebb, a futás "
                           "még %lld másodpercig nem veszi fel",
                           settings_.minFileAge, static_cast<long long>((waitMs + 999) / 1000))});
    }
  }

  OutputNames names = MakeOutputNames(settings_, TitleOf(path), path.substr(path.size() - 3), "");
  // The names a run would make, with a time stamp of the run's length.
  if (std::string tooLong = LongNameText(
          platform_.fs, MakeOutputNames(settings_, TitleOf(path), path.substr(path.size() - 3),
                                        NextFileStamp(platform_.clock.Now(), "")));
      !tooLong.empty()) {
    problems.push_back({0, tooLong});
  }
  if (std::string why; !platform_.fs.CanRemove(path, &why)) {
    problems.push_back({0, UnremovableText(why)});
  }
  struct Pass {
    WriterKind kind;
    bool urgent;
    std::string label;
  };
  const std::string otherExt = names.other.substr(names.other.rfind('.'));
  const Pass passes[] = {{WriterKind::kSepaXml, false, ".CCT"},
                         {WriterKind::kSepaXml, true, names.urgent.substr(names.urgent.rfind('.'))},
                         {names.otherKind, false, otherExt}};
  std::string summary;
  std::vector<std::string> written = {names.backup};
  if (classification.ok && classification.uncountable.empty()) {
    for (const Pass& pass : passes) {
      const OrderTotals& totals = classification.ForPass(pass.kind, pass.urgent);
      StringAppendF(&summary, "%s%s: %d megbízás, %s", summary.empty() ? "" : "; ",
                    pass.label.c_str(), totals.count, FormatAmount(totals.cents).c_str());
      if (totals.count == 0) {
        continue;
      }
      const std::string& name = pass.kind == WriterKind::kSepaXml
                                    ? (pass.urgent ? names.urgent : names.sepa)
                                    : names.other;
      CheckDirectory(name.substr(0, name.rfind(kDirSeparator) + 1), pass.label + " output",
                     &problems);
      written.push_back(name);
      bool xml = pass.kind == WriterKind::kSepaXml;
      ValidatingSink validating(validator_);
      DiscardingSink discarding;
      if (xml) {
        validator_.Begin();
      }
      PassResult result =
          Convert(file, classification, context, pass.kind, pass.urgent,
                  xml ? static_cast<ByteSink&>(validating) : static_cast<ByteSink&>(discarding));
      bool valid = !xml || validator_.Finish();
      // The validator's verdict only adds to the leaf checks when they found nothing.
      if (!valid && result.problems.empty()) {
        std::string first = validator_.errors().empty() ? "" : validator_.errors().front();
        problems.push_back(
            {0,
             StringPrintf("a(z) %s dokumentum nem felelne meg a %s sémának: %s", pass.label.c_str(),
                          std::string(settings_.sepa.FormatName()).c_str(), first.c_str())});
      }
      // Each order's addresses and changed texts as the document would carry them, under the
      // order.
      const std::vector<int> starts = file.MessageLines();
      for (const auto& [message, note] : result.notes) {
        int line = LineOf(starts, message);
        lines_.push_back(
            {line, StringPrintf("  %d. sor: ", line) +
                       DescribeProblem(&file, FileProblem{message, note}, codePages_)});
      }
      for (FileProblem& problem : result.problems) {
        // An amount that is not one was reported as written, not as the document carries it.
        if (problem.element != kInstructedAmount || !HasAmountProblem(classification, problem)) {
          problems.push_back(std::move(problem));
        }
      }
      if (result.status == PassResult::Status::kInternalError) {
        problems.push_back({0, "belső hiba a konvertálás közben"});
      }
      std::optional<std::string> earlier;
      if (xml && settings_.rejectReusedMsgId == 1) {
        if (!messageIds_.Find(result.msgId, &earlier, &reason)) {
          problems.push_back({0, "az üzenetazonosítók nyilvántartása nem olvasható: " +
                                     messageIds_.Path() + " (" + reason + ")"});
        } else if (earlier) {
          problems.push_back(ReusedMsgIdProblem(result.msgId, *earlier));
        }
      }
    }
  }
  // As the commit refuses them: two names of one file.
  for (std::size_t i = 0; i < written.size(); ++i) {
    for (std::size_t j = i + 1; j < written.size(); ++j) {
      if (SameFileName(platform_.fs, written[i], written[j])) {
        problems.push_back(
            {0, "a fájl két kimenete ugyanazt a nevet kapná: " + written[i] + " és " + written[j]});
      }
    }
  }
  problems = FoldSettingProblems(std::move(problems), settings_, codePages_);
  const std::vector<int> lines = file.MessageLines();
  if (classification.ok) {
    ReportNonSepa(file, lines, classification);
  }
  for (const FileProblem& problem : problems) {
    Problem(path, problem.line > 0 ? problem.line : LineOf(lines, problem.message),
            DescribeProblem(&file, problem, codePages_));
  }
  return Finish(path, problems.empty(), summary);
}

}  // namespace

int RunCheck(Platform platform, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& errors) {
  std::string missing;
  std::optional<CodePages> codePages = CodePages::Open(&missing);
  Settings settings;
  SettingsFile ini = LoadSettingsBesideExecutable(platform.fs, &settings);
  std::string failure;
  std::string runsAs;
  std::string reason;
  if (!codePages) {
    failure = "Nem nyitható meg a(z) " + missing + " kódlap-átalakító (iconv).";
  } else if (ini.state == SettingsFile::State::kUnreadable) {
    failure = "A beállítási fájl nem olvasható: " + settings.iniPath + " (" + ini.reason + ")";
  } else if (!platform.fs.AdoptOwnerOf(settings.inputPath, &runsAs, &reason)) {
    failure = "A program nem tudott átváltani az input könyvtár (" + settings.inputPath +
              ") tulajdonosára: " + reason;
  }
  if (!failure.empty()) {
    errors << kStartupFailedLine << failure << "\n" << std::flush;
    return kExitStartupFailed;
  }
  if (!runsAs.empty()) {
    out << "Az ellenőrzés az input könyvtár tulajdonosaként (" << runsAs << ") fut.\n";
  }
  if (ini.state == SettingsFile::State::kMissing) {
    out << "A(z) " << settings.iniPath << " fájl nem található, a paraméterek alapértékei "
        << "érvényesek.\n";
  }
  for (const SettingsProblem& problem : ini.problems) {
    if (problem.kind == SettingsProblem::Kind::kUnknown) {
      out << settings.iniPath << ":0: figyelem: ismeretlen beállítás: " << problem.text << '\n';
    } else if (problem.kind == SettingsProblem::Kind::kEmptyExtension) {
      out << settings.iniPath << ":0: figyelem: a [PrioUrgent] TrgtExtension üres: a sürgős "
          << "megbízások dokumentumának neve ponttal végződik\n";
    }
  }
  std::optional<std::string> invalid;
  if (std::string wrong = SettingsErrorText(ini.problems); !wrong.empty()) {
    invalid = wrong;
  } else {
    settings.ToRecordCodePage(*codePages);
    invalid = FindDirectoryConflict(platform.fs, settings, files.empty());
  }
  if (invalid) {
    out << settings.iniPath
        << ":0: hiba: hibás beállítás, a program nem dolgoz fel semmit: " << *invalid << '\n'
        << std::flush;
    return kExitStartupFailed;
  }
  std::unique_ptr<SchemaValidator> validator = SchemaValidator::Create(settings.sepa.format);
  if (validator == nullptr) {
    errors << kStartupFailedLine << "Nem hozható létre a " << settings.sepa.FormatName()
           << " séma ellenőrzője.\n"
           << std::flush;
    return kExitStartupFailed;
  }
  // A directory stands for its HUA and INT files; no argument for the input directory.
  std::vector<std::string> dirs;
  std::vector<std::string> paths;
  if (files.empty()) {
    dirs.push_back(settings.inputPath);
  }
  for (const std::string& file : files) {
    if (platform.fs.IsDirectory(file)) {
      dirs.push_back(WithTrailingSeparator(file));
    } else {
      paths.push_back(file);
    }
  }
  for (const std::string& dir : dirs) {
    std::size_t before = paths.size();
    for (std::string_view ext : {"INT", "HUA"}) {
      for (const std::string& name : platform.fs.ListFiles(dir, ext)) {
        paths.push_back(dir + name);
      }
    }
    if (paths.size() == before) {
      out << "Nincs ellenőrizendő HUA vagy INT fájl: "
          << (dir.empty() ? platform.fs.CurrentDir() : dir) << "\n";
    }
  }
  Checker checker(platform, settings, *codePages, *validator, out);
  int counts[3] = {};
  for (const std::string& path : paths) {
    ++counts[static_cast<int>(checker.CheckFile(path))];
  }
  int convertible = counts[static_cast<int>(Verdict::kConvertible)];
  int refused = counts[static_cast<int>(Verdict::kRefused)];
  int skipped = counts[static_cast<int>(Verdict::kSkipped)];
  if (!SchemaValidator::Available() && convertible + refused > 0) {
    out << "megjegyzés: a teljes pain.001.001.03 sémaellenőrzés nem futott (ez a változat "
           "sémaérvényesítő nélkül készült); a mezőszintű ellenőrzések lefutottak\n";
  }
  out << "Ellenőrizve: " << convertible + refused << " fájl; konvertálható: " << convertible
      << "; NEM konvertálható: " << refused;
  if (skipped > 0) {
    out << "; kihagyva: " << skipped;
  }
  out << ".\n" << std::flush;
  // A named file that is no HUA or INT file would be left by a run too.
  return refused == 0 && skipped == 0 ? kExitOk : kExitFilesLeft;
}

}  // namespace varnex
