#include "output/schema_validator.h"

#include <algorithm>
#include <libxml/SAX2.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlversion.h>

#include "util/string_printf.h"

namespace varnex {
namespace {

#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlErrorPtr;
#endif

// The most bytes handed to the parser in one call (its length is an int).
constexpr std::size_t kMaxChunk = std::size_t{1} << 20;

void DiscardGeneric(void* /*context*/, const char* /*format*/, ...) {}

}  // namespace

struct SchemaValidator::State {
  ~State() {
    CloseDocument();
    xmlSchemaFree(schema);
  }

  // Adds one message; a message with the level of an error fails the document.
  void Add(int line, std::string_view text, bool isError) {
    failed = failed || isError;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
      text.remove_suffix(1);
    }
    if (errors->size() < kMaxMessages) {
      errors->push_back(
          StringPrintf("line %d: %.*s", line, static_cast<int>(text.size()), text.data()));
    } else if (errors->size() == kMaxMessages) {
      errors->push_back("further messages left out");
    }
  }

  int Line() const { return parser != nullptr ? xmlSAX2GetLineNumber(parser) : 0; }

  // Unplugs the validator and frees the parser of the open document, if any.
  void CloseDocument() {
    if (plug != nullptr) {
      xmlSchemaSAXUnplug(plug);
      plug = nullptr;
    }
    if (parser != nullptr) {
      xmlFreeDoc(parser->myDoc);
      parser->myDoc = nullptr;
      xmlFreeParserCtxt(parser);
      parser = nullptr;
    }
    if (valid != nullptr) {
      xmlSchemaFreeValidCtxt(valid);
      valid = nullptr;
    }
  }

  xmlSchema* schema = nullptr;
  xmlParserCtxt* parser = nullptr;
  xmlSchemaValidCtxt* valid = nullptr;
  xmlSchemaSAXPlugPtr plug = nullptr;
  bool failed = false;
  std::vector<std::string>* errors = nullptr;
};

namespace {

using State = SchemaValidator::State;

void CollectError(void* data, ErrorArg error) {
  if (error != nullptr) {
    static_cast<State*>(data)->Add(error->line, error->message != nullptr ? error->message : "?",
                                   error->level >= XML_ERR_ERROR);
  }
}

// The DOCTYPE callback: a document may declare nothing, so no DTD and no entity applies.
void RejectDoctype(void* data, const xmlChar* /*name*/, const xmlChar* /*externalId*/,
                   const xmlChar* /*systemId*/) {
  auto* state = static_cast<State*>(data);
  state->Add(state->Line(), "DOCTYPE not allowed", true);
  xmlStopParser(state->parser);
}

// Where the validator stands in the document, for its messages.
int Locate(void* data, const char** file, unsigned long* line) {
  auto* state = static_cast<State*>(data);
  *file = nullptr;
  *line = static_cast<unsigned long>(std::max(state->Line(), 0));
  return 0;
}

// Points libxml2's thread-wide error handlers at `state` for the life of the object and
// then puts the previous ones back.
class ErrorRoute {
 public:
  explicit ErrorRoute(State* state)
      : structured_(xmlStructuredError),
        structuredContext_(xmlStructuredErrorContext),
        generic_(xmlGenericError),
        genericContext_(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(state, CollectError);
    xmlSetGenericErrorFunc(nullptr, DiscardGeneric);
  }
  ~ErrorRoute() {
    xmlSetStructuredErrorFunc(structuredContext_, structured_);
    xmlSetGenericErrorFunc(genericContext_, generic_);
  }
  ErrorRoute(const ErrorRoute&) = delete;
  ErrorRoute& operator=(const ErrorRoute&) = delete;

 private:
  xmlStructuredErrorFunc structured_;
  void* structuredContext_;
  xmlGenericErrorFunc generic_;
  void* genericContext_;
};

}  // namespace

SchemaValidator::SchemaValidator(std::unique_ptr<State> state) : state_(std::move(state)) {
  state_->errors = &errors_;
}

SchemaValidator::~SchemaValidator() {
  ErrorRoute route(state_.get());
  state_.reset();
}

bool SchemaValidator::Available() {
  return true;
}

std::unique_ptr<SchemaValidator> SchemaValidator::Create(SepaOptions::Format format) {
  xmlInitParser();
  std::unique_ptr<SchemaValidator> validator(new SchemaValidator(std::make_unique<State>()));
  State* state = validator->state_.get();
  ErrorRoute route(state);
  std::string_view text = SchemaText(format);
  xmlSchemaParserCtxt* parser =
      xmlSchemaNewMemParserCtxt(text.data(), static_cast<int>(text.size()));
  if (parser == nullptr) {
    return nullptr;
  }
  xmlSchemaSetParserStructuredErrors(parser, CollectError, state);
  state->schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (state->schema == nullptr) {
    return nullptr;
  }
  validator->errors_.clear();
  return validator;
}

void SchemaValidator::Begin() {
  ErrorRoute route(state_.get());
  State& state = *state_;
  state.CloseDocument();
  errors_.clear();
  state.failed = false;

  state.valid = xmlSchemaNewValidCtxt(state.schema);
  if (state.valid == nullptr) {
    state.Add(0, "the validation could not start", true);
    return;
  }
  xmlSchemaSetValidStructuredErrors(state.valid, CollectError, &state);
  xmlSchemaValidateSetLocator(state.valid, Locate, &state);
  // No callback builds anything; the schema validator hooks its own in front of these.
  xmlSAXHandler sax{};
  sax.initialized = XML_SAX2_MAGIC;
  sax.internalSubset = RejectDoctype;
  state.parser = xmlCreatePushParserCtxt(&sax, &state, nullptr, 0, "document.xml");
  if (state.parser == nullptr) {
    state.Add(0, "the validation could not start", true);
    state.CloseDocument();
    return;
  }
  xmlCtxtUseOptions(state.parser, XML_PARSE_NONET);
  state.plug = xmlSchemaSAXPlug(state.valid, &state.parser->sax, &state.parser->userData);
  if (state.plug == nullptr) {
    state.Add(0, "the validation could not start", true);
    state.CloseDocument();
  }
}

void SchemaValidator::Feed(std::string_view bytes) {
  State& state = *state_;
  if (state.plug == nullptr) {
    return;
  }
  ErrorRoute route(&state);
  while (!bytes.empty() && state.parser->instate != XML_PARSER_EOF) {
    std::size_t n = std::min(bytes.size(), kMaxChunk);
    xmlParseChunk(state.parser, bytes.data(), static_cast<int>(n), 0);
    bytes.remove_prefix(n);
  }
}

bool SchemaValidator::Finish() {
  State& state = *state_;
  if (state.plug == nullptr) {
    if (errors_.empty()) {
      errors_.push_back("line 0: no document begun");
    }
    return false;
  }
  ErrorRoute route(&state);
  if (state.parser->instate != XML_PARSER_EOF) {
    xmlParseChunk(state.parser, nullptr, 0, 1);
  }
  bool ok = !state.failed && state.parser->wellFormed == 1 && xmlSchemaIsValid(state.valid) == 1;
  if (!ok && errors_.empty()) {
    errors_.push_back(StringPrintf("line %d: not valid", state.Line()));
  }
  state.CloseDocument();
  return ok;
}

}  // namespace varnex
