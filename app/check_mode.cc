#include "app/check_mode.h"

#include <memory>
#include <optional>

#include "app/application.h"
#include "app/completeness.h"
#include "app/conversion_run.h"
#include "app/file_driver.h"
#include "app/run_log.h"
#include "app/safety/backup_index.h"
#include "app/safety/file_commit.h"
#include "app/settings.h"
#include "convert/converter.h"
#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "output/formatters.h"
#include "output/schema_validator.h"
#include "platform/code_page.h"
#include "util/string_printf.h"

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
        backupIndex_(platform.fs, tempNames_, settings.backupPath) {
    log_.Mute();
  }

  // Reports on `path`; true when a run would convert it.
  bool CheckFile(const std::string& path);

 private:
  void Problem(const std::string& path, int line, const std::string& text) {
    out_ << path << ':' << line << ": hiba: " << text << '\n';
  }
  // The line on which `message` (1-based) starts, of the file's MessageLines(); 0 for the
  // file or its header.
  static int LineOf(const std::vector<int>& lines, long message) {
    return message > 0 && static_cast<std::size_t>(message) <= lines.size()
               ? lines[static_cast<std::size_t>(message - 1)]
               : 0;
  }
  void ReportNonSepa(const MtFile& file, const std::vector<int>& lines,
                     const Classification& classification);

  Platform platform_;
  const Settings& settings_;
  const CodePages& codePages_;
  SchemaValidator& validator_;
  std::ostream& out_;
  RunLog log_;
  TempNames tempNames_;
  BackupIndex backupIndex_;  // read only: never saved
  std::int32_t sequence_ = 0;
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
    std::string reasons;
    for (const std::string& reason : converter->SepaFailures(codePages_)) {
      reasons.append(reasons.empty() ? "" : "; ").append(reason);
    }
    FileProblem order{i + 1L, "nem SEPA-megbízás: " + reasons};
    out_ << file.fileName() << ':' << lines[static_cast<std::size_t>(i)] << ": "
         << DescribeProblem(&file, order, codePages_) << '\n';
  }
}

bool Checker::CheckFile(const std::string& path) {
  MtKind kind = KindOfPath(path);
  if (kind == MtKind::kOther) {
    out_ << path << ": kihagyva: nem HUA vagy INT fájl\n";
    return true;
  }
  FileIdentity identity;
  std::string bytes;
  std::string reason;
  if (!platform_.fs.StatRegular(path, &identity)) {
    Problem(path, 0, "az input fájl nem olvasható (nincs ilyen közönséges fájl)");
    out_ << path << ": NEM konvertálható\n";
    return false;
  }
  if (!platform_.fs.ReadFile(path, &bytes, &reason)) {
    Problem(path, 0, "az input fájl nem olvasható (" + reason + ")");
    out_ << path << ": NEM konvertálható\n";
    return false;
  }
  if (settings_.rejectDuplicates == 1) {
    if (std::optional<std::string> copy = backupIndex_.FindCopy(bytes)) {
      Problem(path, 0, DuplicateText(*copy));
      out_ << path << ": NEM konvertálható\n";
      return false;
    }
  }

  MtFile file;
  file.Parse(path, std::move(bytes), codePages_);
  ConversionContext context{settings_, platform_.clock, codePages_, log_, sequence_};
  Classification classification = Classify(file, context);
  LogClassification(classification, log_);
  std::vector<FileProblem> problems =
      FindIncompleteness(file, classification, settings_.checkTotals == 1);
  if (!platform_.fs.IsDirectory(settings_.backupPath)) {
    problems.push_back({0, "a backup könyvtár nem létezik: " + settings_.backupPath});
  }

  OutputNames names = MakeOutputNames(settings_, TitleOf(path), path.substr(path.size() - 3), "");
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
  if (classification.ok && classification.uncountable.empty()) {
    for (const Pass& pass : passes) {
      const OrderTotals& totals = classification.ForPass(pass.kind, pass.urgent);
      StringAppendF(&summary, "%s%s: %d megbízás, %s", summary.empty() ? "" : "; ",
                    pass.label.c_str(), totals.count, FormatAmount(totals.cents).c_str());
      if (totals.count == 0) {
        continue;
      }
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
            {0, StringPrintf("a(z) %s dokumentum nem felelne meg a pain.001.001.03 sémának: %s",
                             pass.label.c_str(), first.c_str())});
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
    }
  }
  problems = FoldSettingProblems(std::move(problems), settings_, codePages_);
  out_ << path << ": " << (problems.empty() ? "konvertálható" : "NEM konvertálható")
       << (summary.empty() ? "" : " – ") << summary << '\n';
  const std::vector<int> lines = file.MessageLines();
  if (classification.ok) {
    ReportNonSepa(file, lines, classification);
  }
  for (const FileProblem& problem : problems) {
    Problem(path, LineOf(lines, problem.message), DescribeProblem(&file, problem, codePages_));
  }
  return problems.empty();
}

}  // namespace

int RunCheck(Platform platform, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& errors) {
  std::optional<CodePages> codePages = CodePages::Open();
  std::unique_ptr<SchemaValidator> validator = SchemaValidator::Create();
  if (!codePages || validator == nullptr) {
    errors << "Fatal Error: MFC initialization failed\n" << std::flush;
    return kExitStartupFailed;
  }
  Settings settings;
  LoadSettingsBesideExecutable(platform.fs, &settings);
  settings.ToRecordCodePage(*codePages);
  std::vector<std::string> paths = files;
  if (paths.empty()) {
    for (std::string_view ext : {"INT", "HUA"}) {
      for (const std::string& name : platform.fs.ListFiles(settings.inputPath, ext)) {
        paths.push_back(settings.inputPath + name);
      }
    }
  }
  Checker checker(platform, settings, *codePages, *validator, out);
  bool all = true;
  for (const std::string& path : paths) {
    all = checker.CheckFile(path) && all;
  }
  if (!SchemaValidator::Available()) {
    out << "megjegyzés: a teljes pain.001.001.03 sémaellenőrzés nem futott (ez a változat "
           "sémaérvényesítő nélkül készült); a mezőszintű ellenőrzések lefutottak\n";
  }
  out << std::flush;
  return all ? kExitOk : kExitFilesLeft;
}

}  // namespace varnex
