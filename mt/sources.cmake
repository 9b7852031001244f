set(MT_SOURCES
  mt/mt_file.cc
  mt/mt_message.cc)
set(MT_TESTS
  mt/mt_file_test.cc)
