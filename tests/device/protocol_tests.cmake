brumkey_test(protocol_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/protocol_encoders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protocol_commands_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protocol_download_test.cpp
  LIBS brumkey_core)
