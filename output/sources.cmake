set(OUTPUT_SOURCES
  output/formatters.cc
  output/output_node.cc
  output/writer.cc)
set(OUTPUT_TESTS)
