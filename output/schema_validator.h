// Validation of pain.001 documents against the schemas compiled into the program: the ISO
// pain.001.001.03 schema and the EPC's pain.001.001.09 customer-to-bank schema.
//
// The document is fed in pieces as it is produced and checked on the fly by libxml2's push
// parser with the schema validator plugged into it; no tree is built, so memory stays
// bounded whatever the size of the document. The parser never reaches the network, loads no
// DTD and expands no entity: a document with a DOCTYPE is rejected.
//
// libxml2 reports parse errors through its thread-wide error handler. While one of the
// calls below runs, that handler (and the generic one) is pointed at the validator and then
// put back as it was, so nothing reaches stderr and the caller's handlers stay in place. A
// validator is used by one thread at a time; different validators may run on different
// threads.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/sepa_options.h"

namespace varnex {

// The schemas as compiled in (the bytes of their xsd files).
std::string_view Pain001SchemaText();
std::string_view Pain001V09SchemaText();
inline std::string_view SchemaText(SepaOptions::Format format) {
  return format == SepaOptions::Format::kPain00100109 ? Pain001V09SchemaText()
                                                      : Pain001SchemaText();
}

class SchemaValidator {
 public:
  // A validator holding the parsed schema of `format`; null when the compiled-in schema
  // cannot be loaded.
  static std::unique_ptr<SchemaValidator> Create(
      SepaOptions::Format format = SepaOptions::Format::kPain00100103);
  // False in a build without a schema validator (Windows: no libxml2), whose validators
  // accept every document.
  static bool Available();
  ~SchemaValidator();
  SchemaValidator(const SchemaValidator&) = delete;
  SchemaValidator& operator=(const SchemaValidator&) = delete;

  // Starts a new document, dropping one still open and the messages of the last one.
  void Begin();
  // Feeds the next bytes of the document; ignored when no document was begun.
  void Feed(std::string_view bytes);
  // Ends the document; true when it was well-formed and valid. False also when no document
  // was begun.
  bool Finish();
  // The messages of the current or last document, "line N: text" each, in the order they
  // arose; at most kMaxMessages of them, then one line saying that more were left out.
  // Warnings, which do not make a document fail, are listed too.
  const std::vector<std::string>& errors() const { return errors_; }

  static constexpr std::size_t kMaxMessages = 100;

  // The libxml2 side, kept out of this header.
  struct State;

 private:
  explicit SchemaValidator(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
  std::vector<std::string> errors_;
};

}  // namespace varnex
