#include "testing/xml_check.h"

#include <climits>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlversion.h>
#include <memory>

#include "util/string_printf.h"

namespace varnex {
namespace {

struct DocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct SchemaDeleter {
  void operator()(xmlSchema* schema) const { xmlSchemaFree(schema); }
};
struct SchemaParserDeleter {
  void operator()(xmlSchemaParserCtxt* ctxt) const { xmlSchemaFreeParserCtxt(ctxt); }
};
struct ValidDeleter {
  void operator()(xmlSchemaValidCtxt* ctxt) const { xmlSchemaFreeValidCtxt(ctxt); }
};

#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlErrorPtr;
#endif

// Appends one libxml2 message, with its line, to the std::string behind `data`.
void CollectError(void* data, ErrorArg error) {
  auto* out = static_cast<std::string*>(data);
  StringAppendF(out, "line %d: %s", error->line, error->message ? error->message : "?\n");
}

// Routes libxml2's global error reports into a string for the life of the object.
class ScopedErrorCapture {
 public:
  explicit ScopedErrorCapture(std::string* out) { xmlSetStructuredErrorFunc(out, CollectError); }
  ~ScopedErrorCapture() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
  ScopedErrorCapture(const ScopedErrorCapture&) = delete;
  ScopedErrorCapture& operator=(const ScopedErrorCapture&) = delete;
};

std::unique_ptr<xmlDoc, DocDeleter> Parse(std::string_view text, std::string* error) {
  error->clear();
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    *error = "document too large";
    return nullptr;
  }
  ScopedErrorCapture capture(error);
  std::unique_ptr<xmlDoc, DocDeleter> doc(xmlReadMemory(text.data(), static_cast<int>(text.size()),
                                                        "document.xml", nullptr, XML_PARSE_NONET));
  if (doc == nullptr && error->empty()) {
    *error = "not well-formed";
  }
  return doc;
}

// The schema, parsed on first use; null when it cannot be read.
xmlSchema* Pain001Schema(std::string* error) {
  static std::unique_ptr<xmlSchema, SchemaDeleter> schema = [error] {
    std::string path = std::string(VARNEX_TEST_DATA_DIR) + "/xsd/pain.001.001.03.xsd";
    ScopedErrorCapture capture(error);
    std::unique_ptr<xmlSchemaParserCtxt, SchemaParserDeleter> parser(
        xmlSchemaNewParserCtxt(path.c_str()));
    if (parser == nullptr) {
      return std::unique_ptr<xmlSchema, SchemaDeleter>();
    }
    return std::unique_ptr<xmlSchema, SchemaDeleter>(xmlSchemaParse(parser.get()));
  }();
  if (schema == nullptr && error->empty()) {
    *error = "schema not loaded";
  }
  return schema.get();
}

}  // namespace

bool IsWellFormedXml(std::string_view text, std::string* error) {
  return Parse(text, error) != nullptr;
}

bool ValidatesAgainstPain001(std::string_view text, std::string* error) {
  std::unique_ptr<xmlDoc, DocDeleter> doc = Parse(text, error);
  if (doc == nullptr) {
    return false;
  }
  xmlSchema* schema = Pain001Schema(error);
  if (schema == nullptr) {
    return false;
  }
  std::unique_ptr<xmlSchemaValidCtxt, ValidDeleter> valid(xmlSchemaNewValidCtxt(schema));
  if (valid == nullptr) {
    *error = "no validation context";
    return false;
  }
  xmlSchemaSetValidStructuredErrors(valid.get(), CollectError, error);
  int result = xmlSchemaValidateDoc(valid.get(), doc.get());
  if (result != 0 && error->empty()) {
    *error = StringPrintf("validation failed (%d)", result);
  }
  return result == 0;
}

}  // namespace varnex
