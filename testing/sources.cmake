set(TESTING_SOURCES
  testing/crash_file_system.cc
  testing/fake_platform.cc
  testing/faulty_file_system.cc
  testing/run_harness.cc
  testing/xml_check.cc)
