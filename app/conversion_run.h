// The conversion run: one converter joined with one writer over all messages of a loaded
// file, and the classification dry run before it.
//
// Classify judges every message once (SEPA or not, urgent or not, whether the conversion
// carries all of it as written), takes its amount as the outputs will print it, and logs one
// line per message; it so knows the count and the exact
// sum in cents of every pass before any output is written. Each of the three passes then
// fills a payment record only for the messages it takes; for the others it only advances the
// identifier sequence, as filling their record would, so every identifier is the one a full
// fill would have given. A pass streams its document: the group header, carrying the count
// and sum known from the classification, comes first, and the pass checks that the payments
// after it add up to the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/input_grammar.h"
#include "output/writer.h"

namespace varnex {

class Clock;
class CodePages;
class MtFile;
class RunLog;
struct Settings;

enum class WriterKind { kSepaXml = 1, kInt = 2, kHua = 3 };

// What a run needs from the application.
struct ConversionContext {
  const Settings& settings;
  Clock& clock;
  const CodePages& codePages;
  RunLog& log;
  std::int32_t& sequence;
  // A pain.001 pass notes how each order's addresses and changed texts were written
  // (PassResult::notes).
  bool listNotes = false;
  // Not empty: the documents' MsgId instead of the file's own (a deliberate resend); the
  // urgent document's is UrgentMsgId of it.
  std::string freshMsgId{};
};

// How one message classifies, and its amount in cents (0 when it is not an amount).
struct MessageClass {
  bool sepa = false;
  bool urgent = false;
  std::int64_t cents = 0;
};

// The number and the exact sum in cents of a set of orders.
struct OrderTotals {
  std::int32_t count = 0;
  std::int64_t cents = 0;
};

// One reason why a file is not converted.
struct FileProblem {
  long message = 0;  // 1-based number of the order at fault; 0 for the file or its header
  std::string text;  // what is wrong, Hungarian, UTF-8; names neither the order nor the file
  // For a value the bank would reject: the element and the value (UTF-8); `text` is the rule.
  std::string element = {};
  std::string value = {};
  int line = 0;  // the line of the input file at fault, counted from 1; 0 when not known
};

struct Classification {
  // False when the file is neither HUA nor INT (the internal-error line was logged).
  bool ok = false;
  std::vector<MessageClass> classes;
  OrderTotals sepa;    // SEPA orders that are not urgent
  OrderTotals urgent;  // urgent SEPA orders
  OrderTotals other;   // orders that are not SEPA orders
  // The orders whose amounts no output may carry, in message order (their cents count 0).
  std::vector<FileProblem> amountProblems;
  // 1-based numbers of the messages whose amount would carry the sum of their pass beyond
  // 64 bits (the sums then leave them out).
  std::vector<long> uncountable;
  // What of the file the conversion would not carry as written, and the lines it leaves out.
  GrammarReport grammar;

  // The totals of the pass of `kind` (urgentPass selects between the two SEPA passes).
  const OrderTotals& ForPass(WriterKind kind, bool urgentPass) const;
};

struct PassResult {
  enum class Status {
    kOk,
    kInternalError,
    kWriteFailed,  // the sink refused the document's bytes
    kProblems,     // see `problems`
  };
  Status status = Status::kOk;
  std::int32_t nbOfTxs = 0;
  // A pain.001 pass: the document's GrpHdr/MsgId as written (XML text, UTF-8), and whether
  // it comes from the file header's :01: rather than being generated.
  std::string msgId;
  bool msgIdFromHeader = false;
  std::vector<FileProblem> problems;
  std::string internalError;  // with kInternalError: the run log's line for it
  // A pain.001 pass: the party addresses left out ([SEPA] AddressWithoutTown=omit), the text
  // values the EPC character rule changed ([SEPA] Characters=epc), and with
  // ConversionContext::listNotes the writer's notes on each order (message, text).
  std::int64_t omittedAddresses = 0;
  std::int64_t changedTexts = 0;
  std::vector<std::pair<long, std::string>> notes;
};

// Returns whether each message is a SEPA order, with the totals of each pass; `ok` false
// (after the internal-error line) when the file is neither HUA nor INT.
Classification Classify(const MtFile& file, ConversionContext& context);
// Logs the classification's line for each message.
void LogClassification(const Classification& classification, RunLog& log);

// The MsgId of the urgent document when the file header's :01: gives `msgId` (CP852) to the
// other: `msgId` followed by "-U", cut to 33 characters first when longer, so that it stays
// within 35; followed by "-V" instead when that would be written as `msgId` is.
std::string UrgentMsgId(std::string_view msgId, const CodePages& codePages);

// One conversion pass: kind 1 takes the SEPA orders that are urgent (urgentPass; the
// document's MsgId is then UrgentMsgId of one from :01:) or not; kinds 2 and 3 take the
// orders that are not SEPA orders. The document goes to `sink`; when the pass takes no order,
// nothing does (the identifiers are consumed all the same). A pass consumes
// PassSequenceLength identifiers whatever it takes and logs nothing, so that passes of one
// file can run at the same time, each from its own start in the sequence.
std::int32_t PassSequenceLength(const MtFile& file);
PassResult Convert(const MtFile& file, const Classification& classification,
                   ConversionContext& context, WriterKind kind, bool urgentPass, ByteSink& sink);

// The problem's text (with its element and value when it has them, and its line of the file),
// led by the order's number and :20: reference when it has one and `file` is given.
std::string DescribeProblem(const MtFile* file, const FileProblem& problem,
                            const CodePages& codePages);

// Folds the problems of values that orders take from a setting into one problem per setting,
// naming it: a malformed [General] BankBIC (every order without a well-formed BIC of its own
// inherits it) and the target keywords of [PrioUrgent], [PrioNormal] and [ExchRate].
std::vector<FileProblem> FoldSettingProblems(std::vector<FileProblem> problems,
                                             const Settings& settings, const CodePages& codePages);

// The refusal of an input whose bytes equal those of the file `copy` in the backup directory.
std::string DuplicateText(const std::string& copy);
// The backup a refusal of DuplicateText names; empty for any other refusal.
std::string DuplicateBackupOf(std::string_view refusal);
// The refusal of a document whose MsgId `id` the earlier document `earlier` carried.
FileProblem ReusedMsgIdProblem(const std::string& id, const std::string& earlier);
// The refusal of an input that is the file `backup` of the backup directory.
std::string BackupInputText(const std::string& backup);
// The refusal of an input that may be a copy of the file `backup` in the backup directory,
// which cannot be read to tell.
std::string UnconfirmedCopyText(const std::string& backup);
// The refusal of an input that could not be moved to the backup directory, for `reason`.
std::string UnremovableText(const std::string& reason);
// The refusal of an input that is a symbolic link (a reparse point on Windows).
std::string LinkInputText();

// Keeps a whole document in memory.
class StringSink : public ByteSink {
 public:
  bool Append(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

}  // namespace varnex
