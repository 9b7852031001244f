set(MT_SOURCES
  mt/mt_message.cc)
set(MT_TESTS)
