set(PLATFORM_SOURCES
  platform/code_page.cc
  platform/ini_file.cc
  platform/platform.cc
  platform/posix_platform.cc)
set(PLATFORM_TESTS
  platform/code_page_test.cc
  platform/ini_file_test.cc)
