set(TESTING_SOURCES
  testing/crash_file_system.cc
  testing/fake_platform.cc
  testing/faulty_file_system.cc
  testing/order_files.cc
  testing/process_fixture.cc
  testing/run_harness.cc
  testing/sha256.cc
  testing/xml_check.cc)
set(TESTING_TESTS
  testing/order_files_test.cc
  testing/sha256_test.cc)
# No libxml2 for the Windows build: its XML outputs are proven by being the Linux build's
# bytes (the golden test), so the tests of the XML writers stay on Linux.
if(WIN32)
  list(TRANSFORM TESTING_SOURCES REPLACE "testing/xml_check\\.cc$" "testing/xml_check_none.cc")
  list(REMOVE_ITEM OUTPUT_TESTS output/sepa_xml_writer_test.cc output/schema_check_test.cc
    output/xml_serializer_test.cc)
endif()
