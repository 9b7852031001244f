# The pain.001 schemas are compiled in: each xsd file, the one source of it, becomes a byte array
# in a generated source file, rewritten whenever the xsd changes.
function(varnex_embed_schema XSD_NAME FUNCTION_NAME OUT_VAR)
  set(XSD ${PROJECT_SOURCE_DIR}/tests/data/xsd/${XSD_NAME})
  set(XSD_CC ${PROJECT_BINARY_DIR}/generated/${FUNCTION_NAME}.cc)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${XSD})
  file(READ ${XSD} XSD_HEX HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," XSD_BYTES "${XSD_HEX}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" XSD_BYTES "${XSD_BYTES}")
  file(CONFIGURE OUTPUT ${XSD_CC} CONTENT [[
// Generated from tests/data/xsd/@XSD_NAME@ at configure time; do not edit.
#include "output/schema_validator.h"

namespace varnex {
namespace {

constexpr unsigned char kSchema[] = {
@XSD_BYTES@
};

}  // namespace

std::string_view @FUNCTION_NAME@() {
  return std::string_view(reinterpret_cast<const char*>(kSchema), sizeof kSchema);
}

}  // namespace varnex
]] @ONLY)
  set(${OUT_VAR} ${XSD_CC} PARENT_SCOPE)
endfunction()
varnex_embed_schema(pain.001.001.03.xsd Pain001SchemaText PAIN001_XSD_CC)
varnex_embed_schema(EPC132-08_2025_V1.0_pain.001.001.09.xsd Pain001V09SchemaText PAIN001_V09_XSD_CC)

set(OUTPUT_SOURCES
  output/epc_characters.cc
  output/formatters.cc
  output/schema_validator.cc
  output/writer.cc
  output/xml_serializer.cc
  output/schema_check.cc
  output/sepa_xml_writer.cc
  ${PAIN001_XSD_CC}
  ${PAIN001_V09_XSD_CC})
set(OUTPUT_TESTS
  output/epc_characters_test.cc
  output/formatters_test.cc
  output/schema_validator_test.cc
  output/xml_serializer_test.cc
  output/schema_check_test.cc
  output/sepa_xml_writer_test.cc)
