// What every line of an input file must be for the conversion to carry it.
//
// The reader cuts any text into fields and lines; the converters read the fields they know, a
// fixed number of lines of each, and a record field holds each line up to its capacity. What
// they do not read would be lost without a word, so InputGrammar holds the file against what
// they read:
// - the file's bytes are in its code page (CP852 for HUA, CP437 for INT): not UTF-8, and no
//   character that only a text saved in another code page shows (see MtFile::EncodingClue);
// - no control character but the CR LF line ends (a bare LF among them included), also none
//   that the reader would trim off a line;
// - every field of a message is one the converters read, at most once (and of the pairs
//   :52A:/:52D:, :53A:/:53D:, :57A:/:57D: of an INT message, which exclude each other, one),
//   and every order has its :20:, :32A:, :50:, debtor account and :59: (an INT file, which
//   has no trailer, may be cut inside its last order);
// - a field has no more non-empty lines than they read, no line is longer than the record
//   field that holds it, and the lines taken apart have the shape that is taken apart (the
//   date and currency of :32A:, the "/D/" and "/" before accounts, the words of :52D: and
//   :72: of a HUA order); an account is printable ASCII, and one in the form of an IBAN has
//   its check digits right (a wrapped or cut IBAN is no account);
// - the text outside the fields is blank: before the header's first field, between ":07:"
//   and the first order, after a message's last field and a HUA order's "-}" (but its "$");
//   a message starts a line, and a HUA order's block header is one line "{1:F01…}{2:…}{4:".
// Lines beyond those read are dropped only in the name and address fields (:50:, :57D:, the
// name lines of :59:, INT :52D: and :53D:, header :05:), whose first line must then not be
// empty; they are listed as dropped. Anything else that does not fit refuses the file:
// nothing that could carry money, an account, an identifier or a date is ever dropped.
//
// The file's own checks are made once; each message is checked as the reader cut it, so that
// the classification, which cuts every message anyway, checks it on the way (a field stored
// twice is found among the model's replaced tags).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

class CodePages;
class MtFile;
class MtMessage;
struct FieldRule;
struct MtFieldView;

struct GrammarFinding {
  long message = 0;  // 1-based order; 0 for the file or its header
  int line = 0;      // line of the input file, counted from 1; 0 for the whole file
  std::string text;  // Hungarian, UTF-8; values with their control characters made visible
};

struct GrammarReport {
  std::vector<GrammarFinding> problems;  // each refuses the file
  std::vector<GrammarFinding> dropped;   // name and address lines beyond those carried
};

class InputGrammar {
 public:
  // Makes the checks of the file as a whole: its code page, its control characters, its
  // header and the text outside the messages, and where each message starts.
  InputGrammar(const MtFile& file, const CodePages& codePages);

  // What the checks of the file as a whole found.
  const GrammarReport& FileReport() const { return fileReport_; }
  // Checks message `index` of the file, cut into `message`; appends what it finds to
  // `report`. Safe to call from several threads at once, each with its own report.
  void CheckMessage(int index, const MtMessage& message, GrammarReport* report) const;

 private:
  void CheckEncoding();
  void CheckControlCharacters();
  void CheckHeader();
  void CheckBlank(std::string_view text);
  void CheckMessageStart(long message, std::string_view text, GrammarReport* report) const;
  // Checks the fields of `message` (0: the header) by `rules`; returns which were given (see
  // the .cc), one bit per rule.
  std::uint32_t CheckFields(long message, const MtMessage& fields, std::span<const FieldRule> rules,
                            GrammarReport* report) const;
  void CheckBlockHeader(long message, std::string_view text, const MtFieldView& field,
                        GrammarReport* report) const;
  // Takes a HUA order's trailer ("-}", then "$" or nothing) off the lines of a field; true
  // when it was there. A "-}" anywhere else would end the field for the converter.
  bool CutAtTrailer(long message, std::span<const std::string_view>* lines,
                    GrammarReport* report) const;
  void CheckLines(long message, const FieldRule& rule, std::span<const std::string_view> lines,
                  std::string_view tag, GrammarReport* report) const;
  // The whole line of the file text that holds `at`, without its line end.
  std::string_view LineAround(const char* at) const;
  // Message text as a log line shows it: in UTF-8, its control characters made visible.
  std::string Shown(std::string_view text) const;
  void Problem(GrammarReport* report, long message, const char* at, std::string text) const;

  const MtFile& file_;
  const CodePages& codePages_;
  const bool hua_;
  bool controls_ = false;  // the file holds a control character but the line ends
  GrammarReport fileReport_;
};

}  // namespace varnex
