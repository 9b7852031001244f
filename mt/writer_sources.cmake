set(MT_WRITER_SOURCES
  mt/hua_writer.cc
  mt/int_writer.cc
  mt/mt_serializer.cc)
set(MT_WRITER_TESTS
  mt/hua_writer_test.cc
  mt/int_writer_test.cc
  mt/mt_serializer_test.cc)
