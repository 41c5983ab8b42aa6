brumkey_test(app_layout_tests
  SOURCES layout_test.cpp profile_rules_test.cpp
  LIBS brumkey_core)
