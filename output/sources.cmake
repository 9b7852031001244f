# The pain.001.001.03 schema is compiled in: its xsd file, the one source of it, becomes a
# byte array in a generated source file, rewritten whenever the xsd changes.
set(PAIN001_XSD ${PROJECT_SOURCE_DIR}/tests/data/xsd/pain.001.001.03.xsd)
set(PAIN001_XSD_CC ${PROJECT_BINARY_DIR}/generated/pain001_xsd.cc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PAIN001_XSD})
file(READ ${PAIN001_XSD} PAIN001_XSD_HEX HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," PAIN001_XSD_BYTES "${PAIN001_XSD_HEX}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" PAIN001_XSD_BYTES "${PAIN001_XSD_BYTES}")
file(CONFIGURE OUTPUT ${PAIN001_XSD_CC} CONTENT [[
// Generated from tests/data/xsd/pain.001.001.03.xsd at configure time; do not edit.
#include "output/schema_validator.h"

namespace varnex {
namespace {

constexpr unsigned char kSchema[] = {
@PAIN001_XSD_BYTES@
};

}  // namespace

std::string_view Pain001SchemaText() {
  return std::string_view(reinterpret_cast<const char*>(kSchema), sizeof kSchema);
}

}  // namespace varnex
]] @ONLY)

set(OUTPUT_SOURCES
  output/epc_characters.cc
  output/formatters.cc
  output/schema_validator.cc
  output/writer.cc
  output/xml_serializer.cc
  output/schema_check.cc
  output/sepa_xml_writer.cc
  ${PAIN001_XSD_CC})
set(OUTPUT_TESTS
  output/epc_characters_test.cc
  output/formatters_test.cc
  output/schema_validator_test.cc
  output/xml_serializer_test.cc
  output/schema_check_test.cc
  output/sepa_xml_writer_test.cc)
