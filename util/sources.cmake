set(UTIL_SOURCES util/string_printf.cc)
set(UTIL_TESTS)
