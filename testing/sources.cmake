set(TESTING_SOURCES
  testing/fake_platform.cc)
