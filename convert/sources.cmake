set(CONVERT_SOURCES
  convert/account_utils.cc)
set(CONVERT_TESTS)
