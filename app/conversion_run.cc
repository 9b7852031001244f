#include "app/conversion_run.h"

#include <charconv>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "app/run_log.h"
#include "convert/converter.h"
#include "convert/field_rules.h"
#include "convert/input_grammar.h"
#include "convert/settings.h"
#include "mt/hua_writer.h"
#include "mt/int_writer.h"
#include "mt/mt_file.h"
#include "output/formatters.h"
#include "output/sepa_xml_writer.h"
#include "output/xml_serializer.h"
#include "platform/code_page.h"
#include "util/string_printf.h"
#include "util/task_runner.h"
#include "util/visible_text.h"

namespace varnex {
namespace {

// Adds `cents` to `totals`; false when the sum would leave the 64-bit range.
bool AddOrder(OrderTotals& totals, std::int64_t cents) {
  if ((cents > 0 && totals.cents > std::numeric_limits<std::int64_t>::max() - cents) ||
      (cents < 0 && totals.cents < std::numeric_limits<std::int64_t>::min() - cents)) {
    return false;
  }
  totals.cents += cents;
  ++totals.count;
  return true;
}

// Below this many messages a file is classified on one thread: starting another costs more.
constexpr int kMessagesToClassifyInHalves = 4096;

}  // namespace

const OrderTotals& Classification::ForPass(WriterKind kind, bool urgentPass) const {
  if (kind == WriterKind::kSepaXml) {
    return urgentPass ? urgent : sepa;
  }
  return other;
}

Classification Classify(const MtFile& file, ConversionContext& context) {
  Classification result;
  const int count = file.MessageCount();
  // Large files are classified in two halves at once, each by a converter of its own.
  const int halves = count >= kMessagesToClassifyInHalves ? 2 : 1;
  std::vector<std::unique_ptr<Converter>> converters;
  for (int h = 0; h < halves; ++h) {
    converters.push_back(MakeConverter(file.fileName(), context.settings, context.clock));
    if (converters.back() == nullptr) {
      context.log.Printf("Belső hiba: NINCS KONVERTER!\n");
      return result;
    }
  }
  result.ok = true;
  result.classes.resize(static_cast<std::size_t>(count));
  // Each half's amount problems, their values still message text (CP852).
  std::vector<std::vector<FileProblem>> amountProblems(static_cast<std::size_t>(halves));
  const InputGrammar grammar(file, context.codePages);
  std::vector<GrammarReport> grammarHalves(static_cast<std::size_t>(halves));
  std::vector<std::function<void()>> tasks;
  for (int h = 0; h < halves; ++h) {
    tasks.emplace_back([&, h] {
      Converter& converter = *converters[static_cast<std::size_t>(h)];
      converter.SetFileHeader(file.headerText(), file.header());
      GroupHeaderRecord header{};
      std::int32_t unused = 0;  // the identifiers are counted below
      converter.FillGroupHeader(header, unused);
      MtMessage message;  // one model, reused for every message
      std::vector<AmountProblem> found;
      for (int i = count * h / halves; i < count * (h + 1) / halves; ++i) {
        file.ReadMessage(i, &message);
        grammar.CheckMessage(i, message, &grammarHalves[static_cast<std::size_t>(h)]);
        converter.SetMessage(file.messageText(i), message);
        MessageClass& c = result.classes[static_cast<std::size_t>(i)];
        c.sepa = converter.IsSepa();
        c.urgent = converter.IsUrgentMessage();
        found.clear();
        c.cents = converter.ReadAmounts(&found);
        for (const AmountProblem& problem : found) {
          amountProblems[static_cast<std::size_t>(h)].push_back({i + 1L, std::string(problem.rule),
                                                                 std::string(problem.field),
                                                                 std::string(problem.text)});
        }
      }
    });
  }
  RunTasks(tasks, true);
  // The group header's identifier, then one per message whose record is not needed here.
  context.sequence += 1 + count;
  for (int i = 0; i < count; ++i) {
    MessageClass& c = result.classes[static_cast<std::size_t>(i)];
    OrderTotals& pass = !c.sepa ? result.other : (c.urgent ? result.urgent : result.sepa);
    if (!AddOrder(pass, c.cents)) {
      result.uncountable.push_back(i + 1L);
      c.cents = 0;
    }
  }
  for (std::vector<FileProblem>& half : amountProblems) {
    for (FileProblem& problem : half) {
      problem.value =
          VisibleText(context.codePages.Recode(problem.value, CodePage::k852, CodePage::kUtf8));
      result.amountProblems.push_back(std::move(problem));
    }
  }
  result.grammar = grammar.FileReport();
  for (GrammarReport& half : grammarHalves) {
    for (GrammarFinding& finding : half.problems) {
      result.grammar.problems.push_back(std::move(finding));
    }
    for (GrammarFinding& finding : half.dropped) {
      result.grammar.dropped.push_back(std::move(finding));
    }
  }
  return result;
}

void LogClassification(const Classification& classification, RunLog& log) {
  std::string line;
  long number = 0;
  for (const MessageClass& c : classification.classes) {
    // "%ld. üzenet: SEPA-megbízás!\n" or "%ld. üzenet: NEM SEPA-megbízás!\n", put together
    // without printf: this line is logged once per message.
    char digits[24];
    std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, ++number);
    line.assign(digits, r.ptr);
    line.append(c.sepa ? ". üzenet: SEPA-megbízás!\n" : ". üzenet: NEM SEPA-megbízás!\n");
    log.Write(line);
  }
}

namespace {

std::unique_ptr<Writer> MakeWriter(WriterKind kind, const ConversionContext& context) {
  switch (kind) {
  case WriterKind::kSepaXml: {
    auto writer = std::make_unique<SepaXmlWriter>(context.codePages, context.settings.sepa);
    writer->ListNotes(context.listNotes);
    return writer;
  }
  case WriterKind::kInt:
    return std::make_unique<IntWriter>();
  case WriterKind::kHua:
    return std::make_unique<HuaWriter>(context.settings.autofillChargesAccount);
  }
  return nullptr;
}

constexpr const char* kHeaderUnreadable =
    "a fájl fejléce a kimeneti fájl szerkezetét jelző részt tartalmaz, változatlanul nem írható ki";
constexpr const char* kMessageUnreadable =
    "az üzenet szövege a kimeneti fájl szerkezetét jelző részt tartalmaz, változatlanul nem írható "
    "ki";

// The element values of the part the writer rendered last that the bank would reject.
void AddLeafProblems(const Writer& writer, long message, std::vector<FileProblem>* problems) {
  for (const LeafProblem& leaf : writer.problems()) {
    problems->push_back({message, leaf.rule, leaf.element, leaf.value});
  }
}

bool Takes(WriterKind kind, bool urgentPass, const MessageClass& c) {
  if (kind == WriterKind::kSepaXml) {
    return c.sepa && c.urgent == urgentPass;
  }
  return !c.sepa;
}

}  // namespace

std::string UrgentMsgId(std::string_view msgId, const CodePages& codePages) {
  constexpr std::size_t kKept = 33;  // of the 35 a MsgId may have, with two for the suffix
  std::string_view kept = msgId.substr(0, kKept);
  std::string urgent = std::string(kept) + "-U";
  if (CleanXmlValue(urgent, codePages) == CleanXmlValue(msgId, codePages)) {
    urgent = std::string(kept) + "-V";
  }
  return urgent;
}

std::int32_t PassSequenceLength(const MtFile& file) {
  return 1 + file.MessageCount();  // the group header's, then one per message
}

PassResult Convert(const MtFile& file, const Classification& classification,
                   ConversionContext& context, WriterKind kind, bool urgentPass, ByteSink& sink) {
  PassResult result;
  const OrderTotals& planned = classification.ForPass(kind, urgentPass);
  std::unique_ptr<Writer> writer = MakeWriter(kind, context);
  if (writer == nullptr) {
    result.internalError = "Belső hiba: NINCS KIÍRÓ!\n";
    result.status = PassResult::Status::kInternalError;
    return result;
  }
  std::unique_ptr<Converter> converter =
      MakeConverter(file.fileName(), context.settings, context.clock);
  if (converter == nullptr || !classification.ok ||
      classification.classes.size() != static_cast<std::size_t>(file.MessageCount())) {
    result.internalError = "Belső hiba: NINCS KONVERTER!\n";
    result.status = PassResult::Status::kInternalError;
    return result;
  }
  converter->SetFileHeader(file.headerText(), file.header());
  GroupHeaderRecord header{};
  converter->FillGroupHeader(header, context.sequence);
  if (kind == WriterKind::kSepaXml) {
    // Both documents of a file would carry the header's id; the urgent one gets its own.
    result.msgIdFromHeader = FieldReader(&file.header(), false).Find("01").has(1);
    if (!context.freshMsgId.empty()) {
      header.MsgId.Assign(context.freshMsgId);
      result.msgIdFromHeader = true;  // told apart from the .CCT's as a header's id is
    }
    if (urgentPass && result.msgIdFromHeader && !header.MsgId.view().empty()) {
      header.MsgId.Assign(UrgentMsgId(header.MsgId.view(), context.codePages));
    }
    result.msgId = CleanXmlValue(header.MsgId.view(), context.codePages);
  }
  if (planned.count == 0) {
    // No document; the identifiers the messages' records would have taken are consumed.
    context.sequence += file.MessageCount();
    return result;
  }
  header.NbOfTxs = planned.count;
  header.CtrlSum = planned.cents;
  writer->BeginStream(header, sink);
  AddLeafProblems(*writer, 0, &result.problems);
  if (!writer->readsBack()) {
    result.problems.push_back({0, kHeaderUnreadable});
    writer->ResetReadsBack();
  }

  OrderTotals written;
  bool differs = false;  // an amount other than the classification counted
  PaymentRecord record;
  MtMessage message;  // one model, reused for every message
  for (int i = 0; i < file.MessageCount(); ++i) {
    const MessageClass& c = classification.classes[static_cast<std::size_t>(i)];
    if (!Takes(kind, urgentPass, c)) {
      ++context.sequence;  // the identifier this message's record would have consumed
      continue;
    }
    file.ReadMessage(i, &message);
    converter->SetMessage(file.messageText(i), message);
    converter->FillPaymentRecord(record, header, context.sequence);  // fills from scratch
    std::int64_t cents = writer->AddPayment(record);
    AddLeafProblems(*writer, i + 1L, &result.problems);
    for (const std::string& note : writer->notes()) {
      result.notes.emplace_back(i + 1L, note);
    }
    if (!writer->readsBack()) {
      result.problems.push_back({i + 1L, kMessageUnreadable});
      writer->ResetReadsBack();
    }
    if (cents != c.cents || !AddOrder(written, cents)) {
      differs = true;  // the header would not match what follows it
    }
  }
  bool sinkOk = writer->EndStream();
  result.nbOfTxs = written.count;
  if (kind == WriterKind::kSepaXml) {
    const auto& sepa = static_cast<const SepaXmlWriter&>(*writer);
    result.omittedAddresses = sepa.omittedAddresses();
    result.changedTexts = sepa.changedTexts();
  }
  if (differs || written.count != planned.count || written.cents != planned.cents) {
    result.internalError = "Belső hiba: a fejléc összesítője eltér a tételektől!\n";
    result.status = PassResult::Status::kInternalError;
  } else if (!result.problems.empty()) {
    result.status = PassResult::Status::kProblems;
  } else if (!sinkOk) {
    result.status = PassResult::Status::kWriteFailed;
  }
  return result;
}

std::string DescribeProblem(const MtFile* file, const FileProblem& problem,
                            const CodePages& codePages) {
  std::string text = problem.element.empty()
                         ? problem.text
                         : problem.element + " = \"" + problem.value + "\": " + problem.text;
  if (problem.line > 0) {
    StringAppendF(&text, " (a fájl %d. sora)", problem.line);
  }
  // Values and references are message text: shown with their control characters visible, so
  // that no order can end the line or forge another (and no NUL ends it early).
  text = VisibleText(text);
  if (file == nullptr || problem.message <= 0 || problem.message > file->MessageCount()) {
    return text;
  }
  std::string reference(
      FieldReader(&file->message(static_cast<int>(problem.message - 1)), false).Find("20").line(1));
  reference = VisibleText(codePages.Recode(reference, CodePage::k852, CodePage::kUtf8));
  return StringPrintf("%ld. megbízás (:20: ", problem.message) + reference + "): " + text;
}

std::vector<FileProblem> FoldSettingProblems(std::vector<FileProblem> problems,
                                             const Settings& settings, const CodePages& codePages) {
  // A value every order gets from a setting: [General] BankBIC for every order without a
  // well-formed BIC of its own, the target keywords for the orders their rules select.
  struct Inherited {
    std::vector<std::string_view> elements;
    const std::string& value;
    const char* setting;
    const char* as;  // what the orders would carry it as
  };
  const Inherited inherited[] = {
      {{"PmtInf/DbtrAgt/FinInstnId/BIC", "PmtInf/DbtrAgt/FinInstnId/BICFI"},
       settings.bankBic,
       "[General] BankBIC",
       "bankazonosítóként"},
      {{"PmtInf/PmtTpInf/SvcLvl/Cd", "PmtInf/PmtTpInf/SvcLvl/Prtry"},
       settings.urgentTrgtKeyword,
       "[PrioUrgent] TrgtKeyword",
       "szolgáltatási szintként"},
      {{"PmtInf/PmtTpInf/SvcLvl/Cd", "PmtInf/PmtTpInf/SvcLvl/Prtry"},
       settings.normalTrgtKeyword,
       "[PrioNormal] TrgtKeyword",
       "szolgáltatási szintként"},
      {{"PmtInf/CdtTrfTxInf/XchgRateInf/RateTp"},
       settings.xchgTrgtKeyword,
       "[ExchRate] TrgtKeyword",
       "árfolyamtípusként"},
  };
  std::vector<FileProblem> folded;
  for (const Inherited& setting : inherited) {
    if (setting.value.empty()) {
      continue;
    }
    std::string value = codePages.Recode(setting.value, CodePage::k852, CodePage::kUtf8);
    std::vector<FileProblem> kept;
    std::size_t count = 0;
    std::string rule;
    for (FileProblem& problem : problems) {
      bool fromSetting = problem.value == value;
      bool inElement = false;
      for (std::string_view element : setting.elements) {
        inElement = inElement || problem.element == element;
      }
      if (fromSetting && inElement) {
        if (count++ == 0) {
          rule = problem.text;
        }
        continue;
      }
      kept.push_back(std::move(problem));
    }
    problems = std::move(kept);
    if (count > 0) {
      folded.push_back(
          {0, StringPrintf("a %s beállítás hibás: \"%s\": %s (%zu megbízás kapná %s)",
                           setting.setting, value.c_str(), rule.c_str(), count, setting.as)});
    }
  }
  folded.insert(folded.end(), std::make_move_iterator(problems.begin()),
                std::make_move_iterator(problems.end()));
  return folded;
}

FileProblem ReusedMsgIdProblem(const std::string& id, const std::string& earlier) {
  return FileProblem{0,
                     StringPrintf("ezt az üzenetazonosítót már egy korábbi dokumentum viselte "
                                  "(%s); szándékos újraküldéshez: varnex --resubmit FÁJL (új "
                                  "üzenetazonosítót kap), vagy adjon a fájlnak új :01: "
                                  "azonosítót",
                                  earlier.c_str()),
                     "GrpHdr/MsgId", id};
}

std::string BackupInputText(const std::string& backup) {
  return StringPrintf(
      "a fájl a backup könyvtárban van (%s), egy korábbi futás már feldolgozta; a backup fájlok "
      "nem konvertálhatók újra; szándékos újraküldéshez másolja a fájlt az input könyvtárba, és "
      "futtassa: varnex --resubmit FÁJL (egy futás: nincs másolat-ellenőrzés, új "
      "üzenetazonosító)",
      backup.c_str());
}

std::string UnconfirmedCopyText(const std::string& backup) {
  return StringPrintf(
      "nem zárható ki, hogy a fájl egy korábban már feldolgozott fájl másolata: a(z) %s backup "
      "fájl mérete azonos, de nem olvasható; tegye a backup fájlt olvashatóvá a program "
      "felhasználójának (vagy kapcsolja ki az ellenőrzést: [General] RejectDuplicates=0)",
      backup.c_str());
}

std::string UnremovableText(const std::string& reason) {
  return "az input a konvertálás után nem volna áthelyezhető a backup könyvtárba: " + reason +
         "; a fájl akkor konvertálható, ha a program törölheti (jogosultság, vagy a fájlt "
         "nyitva tartó program bezárása)";
}

std::string LinkInputText() {
  return "a fájl szimbolikus link (Windowson csatolási pont): a backup a linket őrizné meg, nem a "
         "konvertált bájtokat, és ugyanazok a bájtok később újra konvertálhatók volnának; tegye "
         "az input könyvtárba magát a fájlt (másolja, ne linkelje)";
}

std::string DuplicateBackupOf(std::string_view refusal) {
  constexpr std::string_view kLead = "a fájl egy korábban már feldolgozott fájl másolata (backup: ";
  std::size_t end = refusal.find("); szándékos újraküldéshez");
  if (!refusal.starts_with(kLead) || end == std::string_view::npos) {
    return "";
  }
  return std::string(refusal.substr(kLead.size(), end - kLead.size()));
}

std::string DuplicateText(const std::string& copy) {
  return StringPrintf(
      "a fájl egy korábban már feldolgozott fájl másolata (backup: %s); szándékos újraküldéshez "
      "futtassa: varnex --resubmit FÁJL (egy futás: nincs másolat-ellenőrzés, új "
      "üzenetazonosító)",
      copy.c_str());
}

}  // namespace varnex
