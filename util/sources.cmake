set(UTIL_SOURCES util/string_printf.cc)
set(UTIL_TESTS
  util/byte_search_test.cc)
