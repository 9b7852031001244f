# libFuzzer targets, built with clang when VARNEX_FUZZ is on; varnex_options then carries
# -fsanitize=fuzzer-no-link,address,undefined. fuzz/run.sh runs them over their seed corpora.
add_library(varnex_fuzz_support STATIC fuzz/fuzz_support.cc)
target_link_libraries(varnex_fuzz_support PUBLIC varnex_core)

function(varnex_fuzz_target name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE varnex_fuzz_support varnex_core)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

varnex_fuzz_target(mt_reader_fuzz fuzz/mt_reader_fuzz.cc)
varnex_fuzz_target(settings_fuzz fuzz/settings_fuzz.cc)
varnex_fuzz_target(conversion_fuzz fuzz/conversion_fuzz.cc)
target_link_libraries(conversion_fuzz PRIVATE LibXml2::LibXml2)
varnex_fuzz_target(mutation_fuzz fuzz/mutation_fuzz.cc testing/crash_file_system.cc
  testing/order_files.cc)
target_link_libraries(mutation_fuzz PRIVATE LibXml2::LibXml2)
target_compile_definitions(mutation_fuzz PRIVATE VARNEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
