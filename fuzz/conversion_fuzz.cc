// Converts an arbitrary input file in memory as the driver does (load, classify, the three
// passes) and checks every output: each pain.001 document is well-formed XML whose NbOfTxs
// and CtrlSum agree with its payments, each HUA or INT document read back has as many
// messages as its ":03:" line says, and every message lands in exactly one output.
//
// The first input byte chooses the kind: bit 0 clear reads the rest as a HUA file, set as an
// INT file; for an INT file bit 1 turns on ConvertINTToHUA (with AutofillChargesAccount), so
// that its other orders go to the HUA writer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"

#include "app/completeness.h"
#include "app/conversion_run.h"
#include "app/run_log.h"
#include "convert/settings.h"
#include "mt/mt_file.h"

namespace varnex {
namespace {

// Settings under which orders can be SEPA orders (many countries), urgent (two keywords in
// ":72:") and carry an exchange-rate type (keywords in ":70:").
constexpr std::string_view kIni =
    "[General]\n"
    "BankBIC=ABCDHUHB\n"
    "SEPACountries=AT,BE,BG,CH,CY,CZ,DE,DK,EE,ES,FI,FR,GB,GR,HR,HU,IE,IS,IT,LI,LT,LU,LV,MC,MT,"
    "NL,NO,PL,PT,RO,SE,SI,SK,SM\n"
    "[PrioUrgent]\n"
    "SrcField=72\n"
    "SrcKeyword=SÜRGŐS,URGENT\n"
    "TrgtField=Cd\n"
    "TrgtKeyword=URGP\n"
    "[PrioNormal]\n"
    "TrgtField=Cd\n"
    "TrgtKeyword=SEPA\n"
    "[ExchRate]\n"
    "SrcField=70\n"
    "SrcKeyword=ÁRFOLYAM,RATE\n"
    "TrgtKeyword=AGRD\n";

void IgnoreXmlError(void*, const char*, ...) {}
void IgnoreStructuredXmlError(void*, xmlErrorPtr) {}

Settings MakeSettings(bool intToHua) {
  Settings settings;
  std::string text(kIni);
  if (intToHua) {
    text += "[INT2HUA]\nConvertINTToHUA=1\nAutofillChargesAccount=1\n";
  }
  settings.Load("/varnex/varnex.ini", text, "/varnex/");
  settings.ToRecordCodePage(FuzzCodePages());
  return settings;
}

// What one run needs and keeps across inputs; nothing in it changes with the input.
struct Fixture {
  Fixture() {
    log.SetCodePages(&FuzzCodePages());
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredXmlError);
  }

  DiscardingFileSystem fs;
  FixedClock clock;
  DiscardingConsole console;
  RunLog log{fs, clock, console};
  Settings plain = MakeSettings(false);
  Settings intToHua = MakeSettings(true);
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// "[-]digits.dd" as a count of cents; false for any other form or a count beyond 64 bits.
bool ParseCents(std::string_view text, __int128* cents) {
  bool negative = !text.empty() && text.front() == '-';
  if (negative) {
    text.remove_prefix(1);
  }
  if (text.size() < 4 || text[text.size() - 3] != '.') {
    return false;
  }
  __int128 value = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == text.size() - 3) {
      continue;
    }
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + (text[i] - '0');
    if (value > INT64_MAX) {
      return false;
    }
  }
  *cents = negative ? -value : value;
  return true;
}

struct XmlFree {
  void operator()(xmlChar* p) const { xmlFree(p); }
};
struct XmlFreeDoc {
  void operator()(xmlDoc* p) const { xmlFreeDoc(p); }
};

std::string ElementText(xmlNode* node) {
  std::unique_ptr<xmlChar, XmlFree> content(xmlNodeGetContent(node));
  return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

// What the checks need from a pain.001 document, gathered in one walk.
struct DocumentFacts {
  int paymentInfos = 0;
  int amounts = 0;
  __int128 amountSum = 0;
  std::vector<std::string> nbOfTxs;
  std::vector<std::string> ctrlSums;
};

void Gather(xmlNode* node, DocumentFacts* facts) {
  for (xmlNode* n = node; n != nullptr; n = n->next) {
    if (n->type != XML_ELEMENT_NODE) {
      continue;
    }
    std::string_view name(reinterpret_cast<const char*>(n->name));
    if (name == "PmtInf") {
      ++facts->paymentInfos;
    } else if (name == "InstdAmt") {
      __int128 cents = 0;
      Check(ParseCents(ElementText(n), &cents), "an InstdAmt is not an amount");
      ++facts->amounts;
      facts->amountSum += cents;
    } else if (name == "NbOfTxs") {
      facts->nbOfTxs.push_back(ElementText(n));
    } else if (name == "CtrlSum") {
      facts->ctrlSums.push_back(ElementText(n));
    }
    Gather(n->children, facts);
  }
}

void CheckSepaDocument(const std::string& document, int nbOfTxs) {
  std::unique_ptr<xmlDoc, XmlFreeDoc> doc(
      xmlReadMemory(document.data(), static_cast<int>(document.size()), "fuzz.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (doc == nullptr) {
    const xmlError* error = xmlGetLastError();
    std::fprintf(stderr, "==varnex fuzz== libxml2: %s\n",
                 error != nullptr && error->message != nullptr ? error->message : "no message");
  }
  Check(doc != nullptr, "a pain.001 document is not well-formed XML");
  DocumentFacts facts;
  Gather(xmlDocGetRootElement(doc.get()), &facts);
  Check(facts.nbOfTxs.size() == 1 && facts.ctrlSums.size() == 1,
        "a pain.001 document lacks its one NbOfTxs and CtrlSum");
  Check(facts.nbOfTxs[0] == std::to_string(nbOfTxs), "NbOfTxs differs from the orders taken");
  Check(facts.paymentInfos == nbOfTxs, "NbOfTxs differs from the number of PmtInf blocks");
  Check(facts.amounts == nbOfTxs, "NbOfTxs differs from the number of InstdAmt elements");
  __int128 ctrlSum = 0;
  Check(ParseCents(facts.ctrlSums[0], &ctrlSum), "CtrlSum is not an amount");
  Check(ctrlSum == facts.amountSum, "CtrlSum differs from the sum of the InstdAmt values");
}

// The value of the first line of `document` that starts with `tag`; values hold no line
// feeds, so that is the line the writer made for the tag.
std::string_view FirstLineValue(std::string_view document, std::string_view tag) {
  std::size_t at = 0;
  while (at < document.size()) {
    std::size_t end = document.find('\n', at);
    std::string_view line =
        document.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (line.starts_with(tag)) {
      return line.substr(tag.size());
    }
    if (end == std::string_view::npos) {
      break;
    }
    at = end + 1;
  }
  return {};
}

// True when no tag occurs twice among the fields of `text`. The writers never repeat a tag
// within the header or a message, so a repeat is a value line that reads as a field.
bool NoTagTwice(std::string_view text) {
  std::vector<std::string_view> tags;
  MtFieldTokenizer tokenizer(text);
  std::string_view tag;
  std::string_view value;
  while (tokenizer.NextField(&tag, &value)) {
    for (std::string_view seen : tags) {
      if (seen == tag) {
        return false;
      }
    }
    tags.push_back(tag);
  }
  return true;
}

void CheckMtDocument(const std::string& document, int nbOfTxs, WriterKind kind) {
  Check(FirstLineValue(document, ":03:") == std::to_string(nbOfTxs),
        "the :03: line differs from the orders taken");

  // Read back as the file it becomes on disk (CR LF line ends), the document must give what
  // was written: one message per order, and no field twice, since the last occurrence of a
  // tag wins and a value line read as a field would replace the written one (another count,
  // amount or account).
  std::string onDisk;
  onDisk.reserve(document.size() + document.size() / 8);
  for (char c : document) {
    if (c == '\n') {
      onDisk.push_back('\r');
    }
    onDisk.push_back(c);
  }
  MtFile file;
  file.Parse(kind == WriterKind::kHua ? "OUT.HUA" : "OUT.INT", std::move(onDisk), FuzzCodePages());
  bool same = file.MessageCount() == nbOfTxs && NoTagTwice(file.headerText());
  for (int i = 0; same && i < file.MessageCount(); ++i) {
    same = NoTagTwice(file.messageText(i));
  }
  if (CheckFinding(same, "mt-read-back",
                   "a HUA or INT output reads back with other messages or fields than written")) {
    std::optional<MtFieldView> count = file.header().Find("03");
    Check(count.has_value() && count->lineCount() == 1 && count->line(0) == std::to_string(nbOfTxs),
          "the :03: line read back differs from the orders taken");
  }
}

void ConvertAndCheck(std::string_view input, bool isInt, bool intToHua) {
  Fixture& fixture = TheFixture();
  const Settings& settings = isInt && intToHua ? fixture.intToHua : fixture.plain;
  MtFile file;
  file.Parse(isInt ? "/in/FUZZ.INT" : "/in/FUZZ.HUA", std::string(input), FuzzCodePages());
  std::int32_t sequence = 0;
  ConversionContext context{settings, fixture.clock, FuzzCodePages(), fixture.log, sequence};
  Classification classification = Classify(file, context);
  const std::vector<MessageClass>& classes = classification.classes;
  Check(classes.size() == static_cast<std::size_t>(file.MessageCount()),
        "Classify does not judge every message");

  struct Pass {
    WriterKind kind;
    bool urgent;
  };
  const Pass passes[] = {{WriterKind::kSepaXml, false},
                         {WriterKind::kSepaXml, true},
                         {isInt && !intToHua ? WriterKind::kInt : WriterKind::kHua, false}};
  // Every problem the run would log, with the text of the orders in it, is one line.
  LogClassification(classification, fixture.log);
  for (const FileProblem& problem : FindIncompleteness(file, classification, true)) {
    fixture.log.Printf("Hiba: %s: %s\n", file.fileName().c_str(),
                       DescribeProblem(&file, problem, FuzzCodePages()).c_str());
  }
  if (!classification.uncountable.empty() || !classification.amountProblems.empty()) {
    return;  // the run refuses such a file before any pass
  }
  bool allOk = true;
  int total = 0;
  for (const Pass& pass : passes) {
    int expected = 0;
    for (const MessageClass& c : classes) {
      expected += pass.kind == WriterKind::kSepaXml ? (c.sepa && c.urgent == pass.urgent) : !c.sepa;
    }
    Check(classification.ForPass(pass.kind, pass.urgent).count == expected,
          "the classification counts other messages than their class says");
    StringSink sink;
    PassResult result = Convert(file, classification, context, pass.kind, pass.urgent, sink);
    for (const FileProblem& problem : result.problems) {
      fixture.log.Printf("Hiba: %s: %s\n", file.fileName().c_str(),
                         DescribeProblem(&file, problem, FuzzCodePages()).c_str());
    }
    if (result.status != PassResult::Status::kOk) {
      allOk = false;
      continue;
    }
    Check(result.nbOfTxs == expected, "a pass took other messages than their class says");
    Check(sink.text.empty() == (result.nbOfTxs == 0),
          "a pass has a document without orders or orders without a document");
    total += result.nbOfTxs;
    if (sink.text.empty()) {
      continue;
    }
    const std::string& document = sink.text;
    if (pass.kind == WriterKind::kSepaXml) {
      CheckSepaDocument(document, result.nbOfTxs);
    } else {
      CheckMtDocument(document, result.nbOfTxs, pass.kind);
    }
  }
  if (allOk) {
    Check(total == file.MessageCount(), "a message is in no output or in two");
  }
}

}  // namespace
}  // namespace varnex

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  varnex::ConvertAndCheck(input, (data[0] & 1) != 0, (data[0] & 2) != 0);
  return 0;
}
