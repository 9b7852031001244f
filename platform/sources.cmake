set(PLATFORM_SOURCES
  platform/code_page.cc
  platform/ini_file.cc
  platform/platform.cc
  platform/terminal_file_picker.cc)
set(PLATFORM_TESTS
  platform/code_page_test.cc
  platform/ini_file_test.cc)
# One implementation of the operating-system services per platform.
if(WIN32)
  list(APPEND PLATFORM_SOURCES
    platform/code_page_windows.cc
    platform/windows_platform.cc)
  list(APPEND PLATFORM_TESTS
    platform/windows_platform_test.cc)
  set(PLATFORM_LIBRARIES comdlg32 mpr shell32 user32)
else()
  list(APPEND PLATFORM_SOURCES
    platform/code_page_iconv.cc
    platform/posix_platform.cc
    platform/posix_process.cc)
  list(APPEND PLATFORM_TESTS
    platform/posix_platform_test.cc)
  set(PLATFORM_LIBRARIES)
endif()
