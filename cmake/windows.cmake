# The Windows build, cross-compiled with mingw-w64 (cmake/mingw-w64-x86_64.cmake).
#
# One varnex.exe that runs on a clean Windows: the compiler's runtime (libstdc++, libgcc,
# winpthread) linked in statically, so that it imports Windows system DLLs only. No libxml2
# is available for this target: --check runs the leaf checks without the schema validator.
# GoogleTest is built from the source Debian ships in the googletest package.

target_link_options(varnex_options INTERFACE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release>:-s>)
# Unicode wide-character API; no min/max macros from windows.h.
target_compile_definitions(varnex_options INTERFACE UNICODE _UNICODE NOMINMAX
  WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)

# MinGW's GNU-compatible printf (%zu, %lld), not msvcrt's. GCC checks the formats of a
# "printf" function in msvcrt's dialect on this target; the Linux build checks them.
target_compile_definitions(varnex_options INTERFACE __USE_MINGW_ANSI_STDIO=1)
target_compile_options(varnex_options INTERFACE -Wno-format)
# GCC 12 warns of overlapping copies inside std::string that cannot happen (GCC bug 105329),
# at the optimisation levels of this build.
target_compile_options(varnex_options INTERFACE -Wno-restrict)

list(TRANSFORM OUTPUT_SOURCES REPLACE "output/schema_validator\\.cc$"
  "output/schema_validator_none.cc")

# Tests that need POSIX (fork, signals, FIFOs, /dev files) or libxml2 stay on Linux.
list(REMOVE_ITEM OUTPUT_TESTS output/schema_validator_test.cc)
list(REMOVE_ITEM APP_TESTS app/process_test.cc)
# Its Windows counterpart: runs ended by TerminateProcess, the log read while written.
list(APPEND APP_TESTS app/windows_process_test.cc)

# Built only when the tests are.
set(VARNEX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VARNEX_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# The version resource of varnex.exe (Explorer's properties) and its application manifest,
# from the project version; compiled by windres on its own, without the compiler's warning
# flags.
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${PROJECT_BINARY_DIR}/generated/version.rc
  @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/varnex.manifest.in
  ${PROJECT_BINARY_DIR}/generated/varnex.manifest @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/generated/version_rc.o
  COMMAND ${CMAKE_RC_COMPILER} -O coff -c 1250 -I ${PROJECT_BINARY_DIR}/generated
    -i ${PROJECT_BINARY_DIR}/generated/version.rc -o ${PROJECT_BINARY_DIR}/generated/version_rc.o
  DEPENDS ${PROJECT_BINARY_DIR}/generated/version.rc ${PROJECT_BINARY_DIR}/generated/varnex.manifest)
set(VARNEX_WINDOWS_RESOURCES ${PROJECT_BINARY_DIR}/generated/version_rc.o)
