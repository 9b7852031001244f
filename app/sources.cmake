set(APP_SOURCES
  app/run_log.cc
  app/settings.cc)
set(APP_TESTS)
