// What every line of an input file must be for the conversion to carry it.
//
// The reader cuts any text into fields and lines; the converters read the fields they know, a
// fixed number of lines of each, and a record field holds each line up to its capacity. What
// they do not read would be lost without a word, so CheckInputGrammar holds the file against
// what they read:
// - the file's bytes are in its code page (CP852 for HUA, CP437 for INT): not UTF-8, and no
//   character that only a text saved in another code page shows (see MtFile::EncodingClue);
// - every field of a message is one the converters read, at most once (and of the pairs
//   :52A:/:52D:, :53A:/:53D:, :57A:/:57D: of an INT message, which exclude each other, one);
// - a field has no more non-empty lines than they read, no line is longer than the record
//   field that holds it, and the lines taken apart (the words of :52D: line 4 and :72: of a
//   HUA order, the accounts after "/D/") have the shape that is taken apart;
// - no value holds a control character (the line ends aside);
// - the text outside the fields is blank: before the header's first field, between ":07:"
//   and the first order, and after a HUA order's "-}" trailer (but its "$");
// - a HUA order's block header is one line "{1:F01…}{2:…}{4:".
// Lines beyond those read are dropped only in the name and address fields (:50:, :57D:, the
// name lines of :59:, INT :52D: and :53D:, header :05:); they are listed as dropped. Anything
// else that does not fit refuses the file: nothing that could carry money, an account, an
// identifier or a date is ever dropped.
#pragma once

#include <string>
#include <vector>

namespace varnex {

class CodePages;
class MtFile;

struct GrammarFinding {
  long message = 0;  // 1-based order; 0 for the file or its header
  int line = 0;      // line of the input file, counted from 1; 0 for the whole file
  std::string text;  // Hungarian, UTF-8; values with their control characters made visible
};

struct GrammarReport {
  std::vector<GrammarFinding> problems;  // each refuses the file
  std::vector<GrammarFinding> dropped;   // name and address lines beyond those carried
};

GrammarReport CheckInputGrammar(const MtFile& file, const CodePages& codePages);

}  // namespace varnex
