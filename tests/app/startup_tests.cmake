brumkey_test(app_startup_tests
  SOURCES paths_test.cpp device_config_test.cpp single_instance_test.cpp
  LIBS brumkey_core)
