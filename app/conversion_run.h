// The conversion run: one converter joined with one writer over all messages of a loaded
// file, and the classification dry run before it.
//
// Classify judges every message once (SEPA or not, urgent or not) and logs one line per
// message. Each of the three passes then fills a payment record only for the messages it
// takes; for the others it only advances the identifier sequence, as filling their record
// would, so every identifier is the one a full fill would have given. The count and the
// control sum are kept by the run; the sum is exact, in cents.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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
};

// How one message classifies.
struct MessageClass {
  bool sepa = false;
  bool urgent = false;
};

struct PassResult {
  enum class Status {
    kOk,
    kInternalError,
    kAmountTooLarge,  // an amount that cannot be counted exactly into the control sum
    kUnreadable,      // an MT document that would not read back as written
  };
  Status status = Status::kOk;
  // The writer holding the finished document, when the pass took at least one message.
  std::unique_ptr<Writer> writer;
  DocumentText document;
  std::int32_t nbOfTxs = 0;
  // 1-based number of the message that failed the pass; 0 for the file header.
  long failedMessage = 0;
};

// Logs whether each message is a SEPA order and returns the classes; empty (after the
// internal-error line) when the file is neither HUA nor INT.
std::vector<MessageClass> Classify(const MtFile& file, ConversionContext& context);

// One conversion pass: kind 1 takes the SEPA orders that are urgent (urgentPass) or not;
// kinds 2 and 3 take the orders that are not SEPA orders.
PassResult Convert(const MtFile& file, const std::vector<MessageClass>& classes,
                   ConversionContext& context, WriterKind kind, bool urgentPass);

}  // namespace varnex
