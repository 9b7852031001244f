#include "testing/xml_check.h"

#include <climits>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlversion.h>
#include <memory>
#include <vector>

#include "output/formatters.h"
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

std::unique_ptr<xmlSchema, SchemaDeleter> LoadSchema(const char* file, std::string* error) {
  std::string path = std::string(VARNEX_TEST_DATA_DIR) + "/xsd/" + file;
  ScopedErrorCapture capture(error);
  std::unique_ptr<xmlSchemaParserCtxt, SchemaParserDeleter> parser(
      xmlSchemaNewParserCtxt(path.c_str()));
  if (parser == nullptr) {
    return std::unique_ptr<xmlSchema, SchemaDeleter>();
  }
  return std::unique_ptr<xmlSchema, SchemaDeleter>(xmlSchemaParse(parser.get()));
}

// The schema of the document's version (by its namespace), parsed on first use; null when it
// cannot be read.
xmlSchema* Pain001Schema(std::string_view text, std::string* error) {
  static std::unique_ptr<xmlSchema, SchemaDeleter> v03 = LoadSchema("pain.001.001.03.xsd", error);
  static std::unique_ptr<xmlSchema, SchemaDeleter> v09 =
      LoadSchema("EPC132-08_2025_V1.0_pain.001.001.09.xsd", error);
  xmlSchema* schema =
      text.find("urn:iso:std:iso:20022:tech:xsd:pain.001.001.09") != std::string_view::npos
          ? v09.get()
          : v03.get();
  if (schema == nullptr && error->empty()) {
    *error = "schema not loaded";
  }
  return schema;
}

// The elements of the full document in order, by depth below CstmrCdtTrfInitn; containers
// have no value.
struct Element {
  int depth;
  const char* tag;
  const char* value;
  int versions = 3;  // 1: pain.001.001.03, 2: pain.001.001.09
};
constexpr int k03 = 1;
constexpr int k09 = 2;
constexpr Element kDocumentElements[] = {
    {0, "GrpHdr", nullptr},
    {1, "MsgId", "MSG-1"},
    {1, "CreDtTm", "2016-01-15T08:30:05+01:00"},
    {1, "NbOfTxs", "1"},
    {1, "CtrlSum", "10.05"},
    {1, "InitgPty", nullptr},
    {2, "Nm", "Initiator"},
    {0, "PmtInf", nullptr},
    {1, "PmtInfId", "P1"},
    {1, "PmtMtd", "TRF"},
    {1, "BtchBookg", "false"},
    {1, "NbOfTxs", "1", k09},
    {1, "CtrlSum", "10.05", k09},
    {1, "PmtTpInf", nullptr},
    {2, "InstrPrty", "HIGH", k09},
    {2, "SvcLvl", nullptr},
    {3, "Cd", "SEPA"},
    {3, "Prtry", "EXPRESS", k03},
    {2, "LclInstrm", nullptr},
    {3, "Cd", "CORE"},
    {3, "Prtry", "INST"},
    {1, "ReqdExctnDt", "2016-01-18", k03},
    {1, "ReqdExctnDt", nullptr, k09},
    {2, "Dt", "2016-01-18", k09},
    {1, "Dbtr", nullptr},
    {2, "Nm", "Debtor"},
    {2, "PstlAdr", nullptr},
    {3, "PstCd", "1051"},
    {3, "TwnNm", "Budapest"},
    {3, "Ctry", "HU"},
    {3, "AdrLine", "Nador u. 5."},
    {1, "DbtrAcct", nullptr},
    {2, "Id", nullptr},
    {3, "IBAN", "HU42117730161111101800000000"},
    {1, "DbtrAgt", nullptr},
    {2, "FinInstnId", nullptr},
    {3, "BIC", "GIBAHUHB", k03},
    {3, "BICFI", "GIBAHUHB", k09},
    {3, "Othr", nullptr},
    {4, "Id", "NOTPROVIDED"},
    {1, "ChrgBr", "SLEV"},
    {1, "CdtTrfTxInf", nullptr},
    {2, "PmtId", nullptr},
    {3, "InstrId", "REF-1"},
    {3, "EndToEndId", "NOTPROVIDED"},
    {2, "Amt", nullptr},
    {3, "InstdAmt", "10.05"},
    {2, "XchgRateInf", nullptr, k03},
    {3, "RateTp", "AGRD", k03},
    {2, "ChrgBr", "SLEV", k03},
    {2, "CdtrAgt", nullptr},
    {3, "FinInstnId", nullptr},
    {4, "BIC", "COBADEFFXXX", k03},
    {4, "BICFI", "COBADEFFXXX", k09},
    {2, "Cdtr", nullptr},
    {3, "Nm", "Creditor"},
    {3, "PstlAdr", nullptr},
    {4, "PstCd", "10115"},
    {4, "TwnNm", "Berlin"},
    {4, "Ctry", "DE"},
    {4, "AdrLine", "Hauptstrasse 5"},
    {2, "CdtrAcct", nullptr},
    {3, "Id", nullptr},
    {4, "IBAN", "DE89370400440532013000"},
    {2, "Purp", nullptr},
    {3, "Cd", "SUPP"},
    {3, "Prtry", "GOODS", k03},
    {2, "RmtInf", nullptr},
    {3, "Ustrd", "Invoice 1"},
};

}  // namespace

std::string Pain001WithValue(std::string_view path, std::string_view value,
                             SepaOptions::Format format) {
  const bool v09 = format == SepaOptions::Format::kPain00100109;
  std::string text = std::string("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n") +
                     "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:" +
                     (v09 ? "pain.001.001.09" : "pain.001.001.03") + "\">\n<CstmrCdtTrfInitn>\n";
  std::vector<std::string> paths;  // path of each open element, by depth
  std::vector<const char*> open;
  bool placed = false;
  for (const Element& e : kDocumentElements) {
    if ((e.versions & (v09 ? k09 : k03)) == 0) {
      continue;
    }
    auto depth = static_cast<std::size_t>(e.depth);
    while (open.size() > depth) {
      text.append("</").append(open.back()).append(">\n");
      open.pop_back();
    }
    paths.resize(depth);
    std::string own = depth == 0 ? std::string(e.tag) : paths.back() + "/" + e.tag;
    std::string_view tag = e.tag;
    // Of Cd and Prtry only one: Prtry when the path names it, else Cd.
    std::string parentPath = depth == 0 ? "" : paths.back();
    bool prtryWanted = path == parentPath + "/Prtry";
    if ((tag == "Prtry" && !prtryWanted) || (tag == "Cd" && prtryWanted)) {
      continue;
    }
    paths.push_back(own);
    if (e.value == nullptr) {
      text.append("<").append(tag).append(">\n");
      open.push_back(e.tag);
      continue;
    }
    std::string_view leafValue = e.value;
    if (own == path) {
      leafValue = value;
      placed = true;
    }
    text.append("<").append(tag);
    if (tag == "InstdAmt") {
      text.append(" Ccy=\"EUR\"");
    }
    text.append(">");
    AppendEscapedXml(leafValue, &text);
    text.append("</").append(tag).append(">\n");
  }
  while (!open.empty()) {
    text.append("</").append(open.back()).append(">\n");
    open.pop_back();
  }
  text.append("</CstmrCdtTrfInitn>\n</Document>\n");
  return placed ? text : std::string();
}

bool IsWellFormedXml(std::string_view text, std::string* error) {
  return Parse(text, error) != nullptr;
}

bool ValidatesAgainstPain001(std::string_view text, std::string* error) {
  std::unique_ptr<xmlDoc, DocDeleter> doc = Parse(text, error);
  if (doc == nullptr) {
    return false;
  }
  xmlSchema* schema = Pain001Schema(text, error);
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

namespace {

void CollectLeaves(xmlNode* node, const std::string& path,
                   std::map<std::string, std::string>* out) {
  bool hasChild = false;
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      hasChild = true;
      std::string name = reinterpret_cast<const char*>(child->name);
      CollectLeaves(child, path.empty() ? name : path + "/" + name, out);
    }
  }
  auto add = [out](const std::string& key, const std::string& value) {
    auto [it, fresh] = out->emplace(key, value);
    if (!fresh) {
      it->second += "|" + value;
    }
  };
  for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->ns == nullptr) {
      xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attr));
      add(path + "@" + reinterpret_cast<const char*>(attr->name),
          value ? reinterpret_cast<const char*>(value) : "");
      xmlFree(value);
    }
  }
  if (!hasChild) {
    xmlChar* value = xmlNodeGetContent(node);
    add(path, value ? reinterpret_cast<const char*>(value) : "");
    xmlFree(value);
  }
}

}  // namespace

std::vector<std::map<std::string, std::string>> PaymentLeaves(std::string_view text) {
  std::string error;
  std::unique_ptr<xmlDoc, DocDeleter> doc = Parse(text, &error);
  std::vector<std::map<std::string, std::string>> payments;
  xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  xmlNode* initiation = root ? xmlFirstElementChild(root) : nullptr;
  for (xmlNode* n = initiation ? initiation->children : nullptr; n != nullptr; n = n->next) {
    if (n->type == XML_ELEMENT_NODE &&
        std::string_view("PmtInf") == reinterpret_cast<const char*>(n->name)) {
      CollectLeaves(n, "", &payments.emplace_back());
    }
  }
  return payments;
}

}  // namespace varnex
