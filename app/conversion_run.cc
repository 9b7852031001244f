#include "app/conversion_run.h"

#include <charconv>
#include <limits>
#include <string>

#include "app/run_log.h"
#include "app/settings.h"
#include "convert/converter.h"
#include "mt/hua_writer.h"
#include "mt/int_writer.h"
#include "mt/mt_file.h"
#include "output/formatters.h"
#include "output/sepa_xml_writer.h"

namespace varnex {

std::vector<MessageClass> Classify(const MtFile& file, ConversionContext& context) {
  std::unique_ptr<Converter> converter =
      MakeConverter(file.fileName(), context.settings, context.clock);
  if (converter == nullptr) {
    context.log.Printf("Belső hiba: NINCS KONVERTER!\n");
    return {};
  }
  converter->SetFileHeader(file.headerText(), file.header());
  GroupHeaderRecord header{};
  converter->FillGroupHeader(header, context.sequence);
  std::vector<MessageClass> classes(static_cast<std::size_t>(file.MessageCount()));
  std::string line;
  for (int i = 0; i < file.MessageCount(); ++i) {
    converter->SetMessage(file.messageText(i), file.message(i));
    // The record of the message is not needed here; its identifier is still consumed.
    ++context.sequence;
    MessageClass& c = classes[static_cast<std::size_t>(i)];
    c.sepa = converter->IsSepa();
    c.urgent = converter->IsUrgentMessage();
    // "%ld. üzenet: SEPA-megbízás!\n" or "%ld. üzenet: NEM SEPA-megbízás!\n", put together
    // without printf: this line is logged once per message.
    char number[24];
    std::to_chars_result r = std::to_chars(number, number + sizeof number, i + 1L);
    line.assign(number, r.ptr);
    line.append(c.sepa ? ". üzenet: SEPA-megbízás!\n" : ". üzenet: NEM SEPA-megbízás!\n");
    context.log.Write(line);
  }
  return classes;
}

namespace {

std::unique_ptr<Writer> MakeWriter(WriterKind kind, const ConversionContext& context) {
  switch (kind) {
  case WriterKind::kSepaXml:
    return std::make_unique<SepaXmlWriter>(context.codePages);
  case WriterKind::kInt:
    return std::make_unique<IntWriter>();
  case WriterKind::kHua:
    return std::make_unique<HuaWriter>(context.settings.autofillChargesAccount);
  }
  return nullptr;
}

bool Takes(WriterKind kind, bool urgentPass, const MessageClass& c) {
  if (kind == WriterKind::kSepaXml) {
    return c.sepa && c.urgent == urgentPass;
  }
  return !c.sepa;
}

}  // namespace

PassResult Convert(const MtFile& file, const std::vector<MessageClass>& classes,
                   ConversionContext& context, WriterKind kind, bool urgentPass) {
  PassResult result;
  std::unique_ptr<Writer> writer = MakeWriter(kind, context);
  if (writer == nullptr) {
    context.log.Printf("Belső hiba: NINCS KIÍRÓ!\n");
    result.status = PassResult::Status::kInternalError;
    return result;
  }
  std::unique_ptr<Converter> converter =
      MakeConverter(file.fileName(), context.settings, context.clock);
  if (converter == nullptr || classes.size() != static_cast<std::size_t>(file.MessageCount())) {
    context.log.Printf("Belső hiba: NINCS KONVERTER!\n");
    result.status = PassResult::Status::kInternalError;
    return result;
  }
  converter->SetFileHeader(file.headerText(), file.header());
  GroupHeaderRecord header{};
  converter->FillGroupHeader(header, context.sequence);

  std::int64_t sum = 0;
  PaymentRecord record;
  for (int i = 0; i < file.MessageCount(); ++i) {
    if (!Takes(kind, urgentPass, classes[static_cast<std::size_t>(i)])) {
      ++context.sequence;  // the identifier this message's record would have consumed
      continue;
    }
    converter->SetMessage(file.messageText(i), file.message(i));
    record = PaymentRecord{};
    converter->FillPaymentRecord(record, header, context.sequence);
    std::optional<std::int64_t> cents = AmountCents(writer->AddPayment(record));
    if (!cents || (*cents > 0 && sum > std::numeric_limits<std::int64_t>::max() - *cents) ||
        (*cents < 0 && sum < std::numeric_limits<std::int64_t>::min() - *cents)) {
      result.status = PassResult::Status::kAmountTooLarge;
      result.failedMessage = static_cast<long>(i) + 1;
      return result;
    }
    if (!writer->readsBack()) {
      result.status = PassResult::Status::kUnreadable;
      result.failedMessage = static_cast<long>(i) + 1;
      return result;
    }
    sum += *cents;
    ++result.nbOfTxs;
  }
  if (result.nbOfTxs > 0) {
    header.NbOfTxs = result.nbOfTxs;
    header.CtrlSum = sum;
    writer->SetGroupHeader(header);
    result.document = writer->FinishDocument();
    if (!writer->readsBack()) {
      result.status = PassResult::Status::kUnreadable;
      result.failedMessage = 0;
      return result;
    }
    result.writer = std::move(writer);
  }
  return result;
}

}  // namespace varnex
