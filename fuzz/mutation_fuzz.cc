// Damages valid HUA and INT files the way exports and people do, converts each damaged file
// with a whole run in memory (the example settings, input directory mode), and checks that
// the run either refuses the file or carries every order into exactly one output with the
// reference, amount, currency, value date and both accounts its text says.
//
// What the text says is decided here, by a small strict reader of its own (ReadOrders), not by
// the converter's reader. It takes the file as CR LF lines and refuses to vouch for a file in
// which a value could be read in more than one way: a value on two lines, a control byte or a
// non-ASCII byte in a value, a tag twice in a message, a message marker or trailer inside a
// line, a malformed :32A:, a missing field, no order at all, or a file not in the code page of
// its kind. Such a file must be refused. The outputs are read independently as well: the
// pain.001 documents with libxml2, the HUA and INT outputs with ReadOrders again.
//
// The data choose a seed (the two example files and two generated ones), the settings
// (CheckTotals off for half of the inputs, ConvertINTToHUA, the pain.001.001.09 document with
// hybrid addresses) and up to eight mutations. An input that starts with "MUTATED HUA 0 0\n"
// (or INT; then CheckTotals and ConvertINTToHUA, an optional " recoded" for a file recoded to
// another code page and an optional " pain09") is taken as the damaged file itself: the form
// of the reproducers in fuzz/regressions/mutation/.
//
// VARNEX_MUTATION_VERBOSE=1 prints whether the run refused the file, and its outputs.
// VARNEX_MUTATION_COUNT=1 prints, at exit, how many executions ran and how many distinct
// damaged files they converted. VARNEX_MUTATION_SAVE=DIR writes a failing file there in the
// reproducer form.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz/fuzz_support.h"

#include "app/application.h"
#include "app/command_line.h"
#include "platform/code_page.h"
#include "testing/crash_file_system.h"
#include "testing/order_files.h"

namespace varnex {
namespace {

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(VARNEX_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Check(!bytes.empty(), "a seed or the example settings cannot be read from the source tree");
  return bytes;
}

struct Seed {
  std::string name;
  std::string bytes;
  bool isInt() const { return name.ends_with(".INT"); }
};

const std::vector<Seed>& Seeds() {
  static const std::vector<Seed> seeds = {
      {"PELDA1.HUA", ReadSourceFile("examples/input/PELDA1.HUA")},
      {"KULF1.INT", ReadSourceFile("examples/input/KULF1.INT")},
      {"GEN3.HUA", GenerateHuaFile(3)},
      {"GEN3.INT", GenerateIntFile(3)},
  };
  return seeds;
}

// ---------------------------------------------------------------------------------------
// The strict reader.

// One order as its text says it, in the form both sides are compared in:
// - the amount as cents ("1250,00", "1250.00" and "1250" alike);
// - the value date YYMMDD as "20YY-MM-DD", the pain.001 form;
// - a debtor account of 24 digits as the Hungarian IBAN of those digits, and one of 16 or
//   8 digits (then completed with zeros to 16) beside an 8-digit bank code (the HUA block
//   header's, or line 2 of an INT :52A:) as the Hungarian IBAN of code and account: the
//   converter moves the bank code of a 24-digit account into the HUA block header and gives
//   pain.001 an IBAN. Any other account, an IBAN included, stays as written;
// - a line's trailing blanks are no part of its value (lines are right-trimmed on reading).
struct Order {
  std::string reference;
  std::int64_t cents = 0;
  std::string currency;
  std::string valueDate;
  std::string debtor;
  std::string creditor;
  auto operator<=>(const Order&) const = default;
};

struct Reading {
  std::vector<Order> orders;
  // Empty when every order reads one way only; else, per rule that failed, its id and what
  // the reader saw.
  std::vector<std::pair<std::string, std::string>> unexact;
  bool exact() const { return unexact.empty(); }
};

std::string Escaped(std::string_view text) {
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllUpper(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') {
    s.remove_suffix(1);
  }
  return s;
}

// The Hungarian IBAN of a 24-digit BBAN.
std::string HuIban(std::string_view bban) {
  unsigned r = 0;
  for (char c : std::string(bban) + "173000") {  // "HU00": H = 17, U = 30
    r = (r * 10 + static_cast<unsigned>(c - '0')) % 97;
  }
  unsigned check = 98 - r;
  return "HU" +
         std::string{static_cast<char>('0' + check / 10), static_cast<char>('0' + check % 10)} +
         std::string(bban);
}

// True when `account` has the form of an IBAN (two letters, two digits, letters and digits up
// to 34 characters) but its check digits fail: a piece of an account, or a wrong one.
bool IsBrokenIban(std::string_view account) {
  if (account.size() < 5 || account.size() > 34 || !AllUpper(account.substr(0, 2)) ||
      !AllDigits(account.substr(2, 2))) {
    return false;
  }
  unsigned r = 0;
  std::string rearranged = std::string(account.substr(4)) + std::string(account.substr(0, 4));
  for (char c : rearranged) {
    if (c >= '0' && c <= '9') {
      r = (r * 10 + static_cast<unsigned>(c - '0')) % 97;
    } else if (c >= 'A' && c <= 'Z') {
      r = (r * 100 + static_cast<unsigned>(c - 'A' + 10)) % 97;
    } else {
      return false;
    }
  }
  return r != 1;
}

std::string CanonicalDebtor(std::string_view account, std::string_view bankCode) {
  if (account.size() == 24 && AllDigits(account)) {
    return HuIban(account);
  }
  if ((account.size() == 16 || account.size() == 8) && AllDigits(account) && bankCode.size() == 8 &&
      AllDigits(bankCode)) {
    std::string bban = std::string(bankCode) + std::string(account);
    bban.resize(24, '0');
    return HuIban(bban);
  }
  return std::string(account);
}

bool IsValidDate(std::string_view yymmdd) {
  if (yymmdd.size() != 6 || !AllDigits(yymmdd)) {
    return false;
  }
  auto two = [yymmdd](std::size_t at) { return (yymmdd[at] - '0') * 10 + (yymmdd[at + 1] - '0'); };
  int year = 2000 + two(0);
  int month = two(2);
  int day = two(4);
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) {
    return false;
  }
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string IsoDate(std::string_view yymmdd) {
  return "20" + std::string(yymmdd.substr(0, 2)) + "-" + std::string(yymmdd.substr(2, 2)) + "-" +
         std::string(yymmdd.substr(4, 2));
}

// Digits with at most one decimal comma or point and at most two decimals, at most 15
// characters, as cents; false for anything else.
bool ParseAmount(std::string_view text, char mark, std::int64_t* cents) {
  std::size_t at = text.find_first_of(mark == ',' ? ",." : ".");
  std::string_view units = text.substr(0, at);
  std::string_view fraction = at == std::string_view::npos ? "" : text.substr(at + 1);
  if (text.size() > 15 || units.empty() || !AllDigits(units) || !AllDigits(fraction) ||
      fraction.size() > 2) {
    return false;
  }
  std::int64_t value = 0;
  for (char c : units) {
    value = value * 10 + (c - '0');
  }
  for (std::size_t i = 0; i < 2; ++i) {
    value = value * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  }
  *cents = value;
  return true;
}

bool IsTagLine(std::string_view line, std::string_view* tag, std::string_view* value) {
  // ":NN:" or ":NNA:"
  std::size_t close = line.find(':', 1);
  if (line.size() < 4 || line[0] != ':' || close == std::string_view::npos) {
    return false;
  }
  *tag = line.substr(1, close - 1);
  *value = line.substr(close + 1);
  return (tag->size() == 2 || tag->size() == 3) && AllDigits(tag->substr(0, 2)) &&
         (tag->size() == 2 || AllUpper(tag->substr(2)));
}

bool IsCleanAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// True when `text` has a byte above 0x7F and every such byte belongs to a well-formed UTF-8
// sequence: a UTF-8 file, where HUA and INT files are single-byte code pages.
bool LooksUtf8(std::string_view text) {
  bool any = false;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > text.size()) {
      return false;
    }
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    any = true;
    i += n;
  }
  return any;
}

struct Field {
  std::vector<std::string_view> lines;  // right-trimmed; the first is the rest of the tag line
  std::string_view NonBlankValue(int* nonBlank) const {
    std::string_view value;
    *nonBlank = 0;
    for (std::string_view line : lines) {
      if (!line.empty()) {
        ++*nonBlank;
        if (*nonBlank == 1) {
          value = line;
        }
      }
    }
    return value;
  }
};

// Reads the orders of a HUA (`isInt` false) or INT file as the text says them.
Reading ReadOrders(std::string_view text, bool isInt) {
  Reading r;
  auto unexact = [&r](const char* id, const std::string& why) { r.unexact.push_back({id, why}); };
  if (text.starts_with("\xEF\xBB\xBF") || LooksUtf8(text)) {
    unexact("utf8-file", "the file is UTF-8, not a single-byte code page");
  }
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) {
      if (at < text.size()) {
        lines.push_back(text.substr(at));
      }
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  std::string_view marker = isInt ? ":20:" : "{1:";
  auto startsMessage = [&](std::string_view line) {
    return isInt ? line.starts_with(":20:") : line.starts_with("{1:") || line.starts_with("${1:");
  };
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (startsMessage(lines[i])) {
      starts.push_back(i);
    }
  }
  if (static_cast<std::size_t>(CountMarkers(text, marker)) != starts.size()) {
    for (std::string_view line : lines) {
      if (line.find(marker, startsMessage(line) ? 1 : 0) != std::string_view::npos) {
        unexact("marker-inside-line", "\"" + std::string(marker) + "\" inside the line \"" +
                                          Escaped(line.substr(0, 60)) + "\"");
      }
    }
    unexact("marker-inside-line", "\"" + std::string(marker) + "\" across lines");
  }
  if (starts.empty()) {
    unexact("no-orders", "the file holds no order");
  }
  for (std::size_t m = 0; m < starts.size(); ++m) {
    std::size_t end = m + 1 < starts.size() ? starts[m + 1] : lines.size();
    std::string ref = "message " + std::to_string(m + 1) + ": ";
    std::vector<std::pair<std::string_view, Field>> fields;
    std::string_view bankCode;
    bool trailer = false;
    std::size_t i = starts[m];
    if (!isInt) {
      std::size_t f = lines[i].find("{1:F01");
      bankCode = f == std::string_view::npos ? "" : lines[i].substr(f + 6, 8);
      ++i;
    }
    for (; i < end; ++i) {
      std::string_view line = lines[i];
      std::string_view tag;
      std::string_view value;
      if (!isInt && !trailer && line.find("-}") != std::string_view::npos) {
        trailer = TrimRight(line) == "-}";
        if (!trailer) {
          unexact("trailer-inside-line", ref + "\"-}\" inside the line \"" + Escaped(line) + "\"");
        }
        continue;
      }
      if (trailer) {
        if (!TrimRight(line).empty()) {
          unexact("text-between-messages", ref + "\"" + Escaped(line) + "\" after \"-}\"");
        }
        continue;
      }
      std::size_t lead = 0;
      while (lead < line.size() &&
             (static_cast<unsigned char>(line[lead]) < 0x20 || line[lead] == 0x7F)) {
        ++lead;
      }
      if (lead > 0 && lead < line.size() && (line[lead] == ':' || line[lead] == '{')) {
        unexact("control-byte-before-tag",
                ref + "the line \"" + Escaped(line.substr(0, 40)) + "\"");
      }
      if (line.starts_with(':')) {
        if (!IsTagLine(line, &tag, &value)) {
          unexact("malformed-tag-line", ref + "\"" + Escaped(line) + "\"");
          continue;
        }
        for (const auto& seen : fields) {
          if (seen.first == tag) {
            unexact("duplicate-tag", ref + ":" + std::string(tag) + ": twice");
          }
        }
        fields.push_back({tag, Field{{TrimRight(value)}}});
      } else if (!fields.empty()) {
        fields.back().second.lines.push_back(TrimRight(line));
      }
      // Lines between the block header and the first field continue the block header.
    }
    if (!isInt && !trailer) {
      unexact("message-without-trailer", ref + "no \"-}\" line ends it");
    }
    auto find = [&fields](std::string_view tag) -> const Field* {
      for (const auto& f : fields) {
        if (f.first == tag) {
          return &f.second;
        }
      }
      return nullptr;
    };
    // Every value of the order must be clean ASCII on the lines it is taken from.
    auto clean = [&](std::string_view tag, std::string_view value) {
      if (!IsCleanAscii(value)) {
        unexact(std::all_of(value.begin(), value.end(), [](char c) { return (c & 0x80) == 0; })
                    ? "control-byte"
                    : "non-ascii-value",
                ref + ":" + std::string(tag) + ": holds \"" + Escaped(value) + "\"");
      }
      return value;
    };
    auto single = [&](std::string_view tag) -> std::string_view {
      const Field* f = find(tag);
      if (f == nullptr) {
        unexact("missing-field", ref + "no :" + std::string(tag) + ":");
        return {};
      }
      int nonBlank = 0;
      std::string_view value = f->NonBlankValue(&nonBlank);
      if (nonBlank > 1) {
        std::string all;
        for (std::string_view l : f->lines) {
          all += std::string(l) + "|";
        }
        unexact("value-on-two-lines",
                ref + ":" + std::string(tag) + ": reads \"" + Escaped(all) + "\"");
      }
      return clean(tag, value);
    };
    Order order;
    order.reference = single("20");
    std::string_view line32 = single("32A");
    if (line32.size() < 10 || !IsValidDate(line32.substr(0, 6)) || !AllUpper(line32.substr(6, 3)) ||
        !ParseAmount(line32.substr(9), ',', &order.cents)) {
      unexact("malformed-value-date-line", ref + ":32A: reads \"" + Escaped(line32) + "\"");
    } else {
      order.valueDate = IsoDate(line32.substr(0, 6));
      order.currency = line32.substr(6, 3);
    }
    const Field* debtor = isInt && find("52A") != nullptr ? find("52A") : find("52D");
    if (debtor == nullptr || debtor->lines.empty()) {
      unexact("missing-field", ref + "no debtor account field");
    } else {
      std::string_view account = clean("52", debtor->lines[0]);
      if (isInt) {
        if (!account.starts_with("/D/")) {
          unexact("debtor-prefix", ref + "the debtor line \"" + Escaped(account) + "\" lacks /D/");
        }
        account = account.substr(std::min<std::size_t>(3, account.size()));
        bankCode = debtor == find("52A") && debtor->lines.size() > 1 &&
                           AllDigits(debtor->lines[1].substr(0, 1)) && !debtor->lines[1].empty()
                       ? debtor->lines[1]
                       : "";
      }
      if (account.empty()) {
        unexact("missing-field", ref + "the debtor account line is empty");
      }
      order.debtor = CanonicalDebtor(account, bankCode);
    }
    const Field* creditor = find("59");
    if (creditor == nullptr || creditor->lines[0].empty()) {
      unexact("missing-field", ref + "no :59: or an empty first :59: line");
    } else {
      std::string_view account = creditor->lines[0];
      if (account.starts_with('/')) {
        order.creditor = clean("59", account.substr(1));
        if (order.creditor.empty()) {
          unexact("missing-field", ref + "the :59: account after \"/\" is empty");
        }
      } else if (!isInt) {
        unexact("creditor-prefix", ref + "the :59: line \"" + Escaped(account) + "\" lacks /");
      }
    }
    for (const std::string* account : {&order.debtor, &order.creditor}) {
      if (IsBrokenIban(*account)) {
        unexact("account-check-digits",
                ref + "the account \"" + Escaped(*account) + "\" fails its IBAN check digits");
      }
    }
    r.orders.push_back(std::move(order));
  }
  return r;
}

// ---------------------------------------------------------------------------------------
// The pain.001 documents.

struct XmlFreeDoc {
  void operator()(xmlDoc* p) const { xmlFreeDoc(p); }
};

xmlNode* Child(xmlNode* node, std::string_view name) {
  for (xmlNode* n = node == nullptr ? nullptr : node->children; n != nullptr; n = n->next) {
    if (n->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(n->name)) {
      return n;
    }
  }
  return nullptr;
}

xmlNode* Path(xmlNode* node, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    node = Child(node, name);
  }
  return node;
}

std::string Text(xmlNode* node) {
  if (node == nullptr) {
    return {};
  }
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content == nullptr ? "" : reinterpret_cast<const char*>(content);
  xmlFree(content);
  return text;
}

// An account: its IBAN, or else its other identification.
std::string Account(xmlNode* id) {
  xmlNode* iban = Child(id, "IBAN");
  return iban != nullptr ? Text(iban) : Text(Path(id, {"Othr", "Id"}));
}

void IgnoreXmlError(void*, const char*, ...) {}

void ReadSepaOrders(const std::string& document, std::vector<Order>* orders) {
  std::unique_ptr<xmlDoc, XmlFreeDoc> doc(
      xmlReadMemory(document.data(), static_cast<int>(document.size()), "out.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  Check(doc != nullptr, "a pain.001 output is not well-formed XML");
  xmlNode* initiation = Child(xmlDocGetRootElement(doc.get()), "CstmrCdtTrfInitn");
  for (xmlNode* p = initiation == nullptr ? nullptr : initiation->children; p != nullptr;
       p = p->next) {
    if (p->type != XML_ELEMENT_NODE ||
        std::string_view("PmtInf") != reinterpret_cast<const char*>(p->name)) {
      continue;
    }
    Order order;
    xmlNode* tx = Child(p, "CdtTrfTxInf");
    order.reference = Text(Path(tx, {"PmtId", "InstrId"}));
    xmlNode* amount = Path(tx, {"Amt", "InstdAmt"});
    std::string amountText = Text(amount);
    Check(amountText.size() >= 4 && amountText[amountText.size() - 3] == '.' &&
              ParseAmount(amountText, '.', &order.cents),
          "an InstdAmt is not an amount with two decimals");
    xmlChar* ccy = amount == nullptr ? nullptr : xmlGetProp(amount, BAD_CAST "Ccy");
    order.currency = ccy == nullptr ? "" : reinterpret_cast<const char*>(ccy);
    xmlFree(ccy);
    xmlNode* date = Child(p, "ReqdExctnDt");
    xmlNode* dateOnly = Child(date, "Dt");  // pain.001.001.09
    order.valueDate = Text(dateOnly != nullptr ? dateOnly : date);
    order.debtor = Account(Path(p, {"DbtrAcct", "Id"}));
    order.creditor = Account(Path(tx, {"CdtrAcct", "Id"}));
    orders->push_back(std::move(order));
  }
}

// ---------------------------------------------------------------------------------------
// The damage.

enum Mutation : int {
  kSplitCrLf,
  kSplitLf,
  kJoinLines,
  kDuplicateLine,
  kDropLine,
  kControlByte,
  kRecode,
  kCut,
  kByteOrderMark,
  kBlanks,
  kMutationCount
};

struct Damaged {
  std::string bytes;
  bool foreignCodePage = false;  // recoded from the kind's code page, with bytes changed
  std::string steps;
};

// Lines of `text` as [begin, end) of their content, without CR LF or LF.
std::vector<std::pair<std::size_t, std::size_t>> LineSpans(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t lf = text.find('\n', at);
    std::size_t next = lf == std::string::npos ? text.size() : lf + 1;
    std::size_t end = lf == std::string::npos ? text.size() : lf;
    if (end > at && text[end - 1] == '\r') {
      --end;
    }
    spans.push_back({at, end});
    at = next;
  }
  return spans;
}

bool IsOrderFieldLine(std::string_view line) {
  for (std::string_view tag : {":20:", ":32A:", ":52A:", ":52D:", ":59:"}) {
    if (line.starts_with(tag)) {
      return true;
    }
  }
  return false;
}

void Mutate(FuzzedDataProvider& data, bool isInt, Damaged* d) {
  auto kind = data.ConsumeIntegralInRange<int>(0, kMutationCount - 1);
  // Half of the mutations hit a line of an order field or the line after one.
  bool orderField = data.ConsumeBool();
  auto lineChoice = data.ConsumeIntegral<std::uint16_t>();
  auto offset = data.ConsumeIntegral<std::uint16_t>();
  auto param = data.ConsumeIntegral<std::uint8_t>();
  std::string& t = d->bytes;

  auto spans = LineSpans(t);
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    std::string_view line(t.data() + spans[i].first, spans[i].second - spans[i].first);
    std::string_view before = i == 0 ? ""
                                     : std::string_view(t.data() + spans[i - 1].first,
                                                        spans[i - 1].second - spans[i - 1].first);
    if (!orderField || IsOrderFieldLine(line) || IsOrderFieldLine(before)) {
      candidates.push_back(i);
    }
  }
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = t.size();  // the start of the following line
  if (!candidates.empty()) {
    std::size_t i = candidates[lineChoice % candidates.size()];
    begin = spans[i].first;
    end = spans[i].second;
    next = i + 1 < spans.size() ? spans[i + 1].first : t.size();
  }
  std::size_t at = begin + offset % (end - begin + 1);
  char step[96];
  switch (kind) {
  case kSplitCrLf:
    t.insert(at, "\r\n");
    std::snprintf(step, sizeof step, "CR LF inserted at %zu", at);
    break;
  case kSplitLf:
    t.insert(at, "\n");
    std::snprintf(step, sizeof step, "LF inserted at %zu", at);
    break;
  case kJoinLines:
    t.erase(end, next - end);
    std::snprintf(step, sizeof step, "line break at %zu removed", end);
    break;
  case kDuplicateLine:
    t.insert(next, t.substr(begin, next - begin));
    std::snprintf(step, sizeof step, "line at %zu duplicated", begin);
    break;
  case kDropLine:
    t.erase(begin, next - begin);
    std::snprintf(step, sizeof step, "line at %zu dropped", begin);
    break;
  case kControlByte: {
    static constexpr char kCommon[] = {'\0', '\r', '\n', '\t', '\x1A', '\x7F'};
    char c = param < 128 ? kCommon[param % sizeof kCommon] : static_cast<char>(param % 32);
    t.insert(at, 1, c);
    std::snprintf(step, sizeof step, "byte 0x%02X inserted at %zu", static_cast<unsigned char>(c),
                  at);
    break;
  }
  case kRecode: {
    CodePage from = isInt ? CodePage::k437 : CodePage::k852;
    CodePage to = param % 2 == 0 ? CodePage::kUtf8 : CodePage::k1250;
    std::string recoded = FuzzCodePages().Recode(t, from, to);
    d->foreignCodePage = d->foreignCodePage || recoded != t;
    t = std::move(recoded);
    std::snprintf(step, sizeof step, "recoded to %s", to == CodePage::kUtf8 ? "UTF-8" : "CP1250");
    break;
  }
  case kCut:
    t.resize(at);
    std::snprintf(step, sizeof step, "cut at %zu", at);
    break;
  case kByteOrderMark:
    t.insert(0, "\xEF\xBB\xBF");
    std::snprintf(step, sizeof step, "byte-order mark prepended");
    break;
  case kBlanks: {
    std::size_t blanks = 1 + param % 3;
    std::size_t where = begin;
    std::string_view line(t.data() + begin, end - begin);
    std::size_t close = line.starts_with(':') ? line.find(':', 1) : std::string_view::npos;
    if (param / 3 % 3 == 1) {
      where = end;
    } else if (param / 3 % 3 == 2 && close != std::string_view::npos) {
      where = begin + close + 1;
    }
    t.insert(where, blanks, ' ');
    std::snprintf(step, sizeof step, "%zu blanks inserted at %zu", blanks, where);
    break;
  }
  default:
    step[0] = '\0';
  }
  d->steps += step;
  d->steps += "; ";
}

// ---------------------------------------------------------------------------------------
// The run.

class NoPicker : public FilePicker {
 public:
  bool Pick(const std::vector<std::string>&, std::vector<std::string>*) override { return false; }
};

struct Outcome {
  int exitCode = 0;
  bool inputLeft = false;
  std::vector<std::pair<std::string, std::string>> outputs;  // name, bytes
};

// examples/varnex.ini with CheckTotals and ConvertINTToHUA set, and the pain.001.001.09
// document (whose urgent orders carry the service level SEPA).
std::string Ini(bool checkTotals, bool intToHua, bool pain09) {
  static const std::string example = ReadSourceFile("examples/varnex.ini");
  std::string ini = example;
  std::size_t general = ini.find("[General]");
  Check(general != std::string::npos && ini.find("ConvertINTToHUA=0") != std::string::npos,
        "examples/varnex.ini lacks [General] or ConvertINTToHUA=0");
  ini.insert(general + 9, std::string("\nCheckTotals=") + (checkTotals ? "1" : "0"));
  if (intToHua) {
    ini.replace(ini.find("ConvertINTToHUA=0"), 17, "ConvertINTToHUA=1");
  }
  if (pain09) {
    Check(ini.find("Format=pain.001.001.03") != std::string::npos &&
              ini.find("TrgtKeyword=URGP") != std::string::npos,
          "examples/varnex.ini lacks Format=pain.001.001.03 or TrgtKeyword=URGP");
    ini.replace(ini.find("Format=pain.001.001.03"), 22, "Format=pain.001.001.09");
    ini.replace(ini.find("TrgtKeyword=URGP"), 16, "TrgtKeyword=SEPA");
  }
  return ini;
}

Outcome Run(const std::string& name, const std::string& bytes, bool checkTotals, bool intToHua,
            bool pain09) {
  CrashFileSystem fs({"/v/"}, "/v/");
  for (const char* dir : {"/v/", "/v/input/", "/v/output/", "/v/backup/", "/v/log/"}) {
    fs.AddDirectory(dir);
  }
  fs.AddFile("/v/varnex.ini", Ini(checkTotals, intToHua, pain09));
  fs.AddFile("/v/input/" + name, bytes);
  FixedClock clock;
  DiscardingConsole console;
  NoPicker picker;
  std::ostringstream errors;
  Outcome outcome;
  {
    Application app(Platform{fs, clock, console, picker}, errors,
                    [](std::string*) { return std::optional<CodePages>(FuzzCodePages()); });
    outcome.exitCode = app.Main(ParseCommandLine({"varnex", "-c"}));
  }
  outcome.inputLeft = fs.Exists("/v/input/" + name);
  for (const std::string& out : fs.ListNames("/v/output/")) {
    std::string content;
    if (!out.starts_with('.') && fs.ReadFile("/v/output/" + out, &content, nullptr)) {
      outcome.outputs.push_back({out, std::move(content)});
    }
  }
  return outcome;
}

std::string Describe(const Order& o) {
  return "{20:'" + Escaped(o.reference) + "' cents:" + std::to_string(o.cents) + " " + o.currency +
         " " + o.valueDate + " debtor:'" + Escaped(o.debtor) + "' creditor:'" +
         Escaped(o.creditor) + "'}";
}

// Names what changed in the first order read that no output carries: the field in which the
// written order of the same reference differs, or "order-changed" when none has it.
std::string ChangeId(const std::vector<Order>& expected, const std::vector<Order>& written) {
  for (const Order& e : expected) {
    if (std::find(written.begin(), written.end(), e) != written.end()) {
      continue;
    }
    for (const Order& w : written) {
      if (w.reference != e.reference) {
        continue;
      }
      return w.cents != e.cents           ? "amount-changed"
             : w.currency != e.currency   ? "currency-changed"
             : w.valueDate != e.valueDate ? "value-date-changed"
             : w.debtor != e.debtor       ? "debtor-account-changed"
                                          : "creditor-account-changed";
    }
    return "order-changed";
  }
  return "order-changed";
}

struct Case {
  std::string name;
  bool checkTotals = false;
  bool intToHua = false;
  bool pain09 = false;
  Damaged damaged;
  int mutations = 0;
};

// Reports a broken property with the damaged file: on stderr, and in VARNEX_MUTATION_SAVE.
void Fail(const Case& c, const std::string& id, const std::string& detail, bool finding) {
  std::string form = std::string("MUTATED ") + (c.name.ends_with(".INT") ? "INT" : "HUA") + " " +
                     (c.checkTotals ? "1" : "0") + " " + (c.intToHua ? "1" : "0") +
                     (c.damaged.foreignCodePage ? " recoded" : "") + (c.pain09 ? " pain09" : "") +
                     "\n" + c.damaged.bytes;
  std::string message = id + ": " + detail;
  if (finding) {
    static const char* tolerated = std::getenv("VARNEX_FUZZ_TOLERATE");
    if (tolerated != nullptr &&
        ("," + std::string(tolerated) + ",").find("," + id + ",") != std::string::npos) {
      return;
    }
  }
  std::fprintf(stderr,
               "==varnex mutation== %s\n  seed %s, CheckTotals=%d, INT2HUA=%d, pain09=%d, %s\n"
               "  file: %s\n",
               message.c_str(), c.name.c_str(), c.checkTotals, c.intToHua, c.pain09,
               c.damaged.steps.c_str(), Escaped(c.damaged.bytes).c_str());
  if (const char* dir = std::getenv("VARNEX_MUTATION_SAVE")) {
    std::ofstream(std::string(dir) + "/" + id, std::ios::binary) << form;
  }
  if (finding) {
    CheckFinding(false, id, message.c_str());
  } else {
    Check(false, message.c_str());
  }
}

void ConvertAndCheck(const Case& c) {
  const std::string& bytes = c.damaged.bytes;
  bool isInt = c.name.ends_with(".INT");
  Reading input = ReadOrders(bytes, isInt);
  // A file recoded to CP1250 need not be refused: its names may be garbled, but the values the
  // invariant compares are ASCII by the reader's rules, and a recoding that leaves no
  // non-ASCII byte (CP437 letters CP1250 lacks become "?") cannot be told at all.
  Outcome out = Run(c.name, bytes, c.checkTotals, c.intToHua, c.pain09);
  static const bool verbose = std::getenv("VARNEX_MUTATION_VERBOSE") != nullptr;
  if (verbose) {
    std::fprintf(stderr, "==varnex mutation== %s, exit %d\n",
                 out.inputLeft ? "refused" : "converted", out.exitCode);
    for (const auto& [name, text] : out.outputs) {
      std::fprintf(stderr, "  %s: %s\n", name.c_str(), Escaped(text).c_str());
    }
  }
  if (c.mutations == 0) {
    if (!input.exact()) {
      Fail(c, "seed-not-exact", input.unexact.front().second, false);
    }
    if (out.inputLeft) {
      Fail(c, "seed-refused", "an undamaged seed was not converted", false);
    }
  }
  if (out.inputLeft) {
    if (!out.outputs.empty()) {
      Fail(c, "refused-with-outputs", "a refused file left " + out.outputs.front().first, false);
    }
    if (out.exitCode != kExitFilesLeft) {
      Fail(c, "refused-exit-code", "exit code " + std::to_string(out.exitCode), false);
    }
    return;
  }
  if (!input.exact()) {
    // Each rule the file breaks is a finding of its own: one set aside leaves the others.
    for (const auto& [id, why] : input.unexact) {
      Fail(c, id, "converted, but " + why, true);
    }
    return;
  }
  std::vector<Order> written;
  for (const auto& [name, text] : out.outputs) {
    if (name.ends_with(".CCT") || name.ends_with(".CCU")) {
      ReadSepaOrders(text, &written);
    } else {
      Reading back = ReadOrders(text, name.ends_with(".INT"));
      if (!back.exact()) {
        Fail(c, "output-not-exact", name + ": " + back.unexact.front().second, true);
      }
      written.insert(written.end(), back.orders.begin(), back.orders.end());
    }
  }
  if (written.size() != input.orders.size()) {
    Fail(c, "order-count",
         std::to_string(input.orders.size()) + " orders read, " + std::to_string(written.size()) +
             " written",
         true);
  }
  std::vector<Order> expected = input.orders;
  std::sort(expected.begin(), expected.end());
  std::sort(written.begin(), written.end());
  if (expected != written) {
    std::string detail = "read:";
    for (const Order& o : expected) {
      detail += " " + Describe(o);
    }
    detail += "\n  written:";
    for (const Order& o : written) {
      detail += " " + Describe(o);
    }
    Fail(c, ChangeId(expected, written), detail, true);
  }
}

// Counts executions and distinct damaged files when VARNEX_MUTATION_COUNT is set; prints them
// when the process ends.
struct Counter {
  bool on = std::getenv("VARNEX_MUTATION_COUNT") != nullptr;
  std::uint64_t executions = 0;
  std::unordered_set<std::size_t> distinct;
  ~Counter() {
    if (on) {
      std::fprintf(stderr, "==varnex mutation== %llu executions, %zu distinct damaged files\n",
                   static_cast<unsigned long long>(executions), distinct.size());
    }
  }
};

Counter& TheCounter() {
  static Counter counter;
  return counter;
}

// The reproducer form: "MUTATED HUA 0 1[ recoded][ pain09]\n" and the damaged file.
bool ParseReproducer(std::string_view data, Case* c) {
  std::size_t eol = data.find('\n');
  if (!data.starts_with("MUTATED ") || eol == std::string_view::npos || eol < 15) {
    return false;
  }
  std::string_view head = data.substr(0, eol);
  c->name = head.substr(8, 3) == "INT" ? "REPRO.INT" : "REPRO.HUA";
  c->checkTotals = head[12] == '1';
  c->intToHua = head[14] == '1';
  c->damaged.foreignCodePage = head.find("recoded") != std::string_view::npos;
  c->pain09 = head.find("pain09") != std::string_view::npos;
  c->damaged.bytes = data.substr(eol + 1);
  c->damaged.steps = "reproducer";
  c->mutations = -1;
  return true;
}

}  // namespace
}  // namespace varnex

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, varnex::IgnoreXmlError);
  varnex::TheCounter();  // built first, so destroyed (and printed) last
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace varnex;
  Case c;
  if (!ParseReproducer(std::string_view(reinterpret_cast<const char*>(data), size), &c)) {
    FuzzedDataProvider provider(data, size);
    const std::vector<Seed>& seeds = Seeds();
    const Seed& seed = seeds[provider.ConsumeIntegralInRange<std::size_t>(0, seeds.size() - 1)];
    c.name = seed.name;
    c.checkTotals = provider.ConsumeBool();
    c.intToHua = provider.ConsumeBool();
    c.damaged.bytes = seed.bytes;
    c.mutations = provider.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < c.mutations; ++i) {
      Mutate(provider, seed.isInt(), &c.damaged);
    }
    // Last, so that the inputs of the corpus keep choosing what they chose before.
    c.pain09 = provider.ConsumeBool();
  }
  if (Counter& counter = TheCounter(); counter.on) {
    ++counter.executions;
    counter.distinct.insert(std::hash<std::string>()(c.name + '\n' + c.damaged.bytes));
  }
  ConvertAndCheck(c);
  return 0;
}
