# Whole-suite entries with a label of their own, so that `ctest -L crash` (or -R crash,
# -R journal) picks these suites by name; `TOVALIX_CRASH_KILLS=200 ctest -L crash` is the long
# run of the kill test.
if(TARGET test_settings_crash)
  add_test(NAME settings_crash COMMAND test_settings_crash)
  set_tests_properties(settings_crash PROPERTIES LABELS crash TIMEOUT 600)
endif()
if(TARGET test_journal)
  add_test(NAME journal COMMAND test_journal)
  set_tests_properties(journal PROPERTIES LABELS journal)
endif()
