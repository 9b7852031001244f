set(UTIL_SOURCES util/line_escape.cc util/string_printf.cc util/task_runner.cc util/visible_text.cc)
set(UTIL_TESTS
  util/byte_search_test.cc
  util/fixed_text_test.cc
  util/task_runner_test.cc)
