brumkey_test(worker_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/worker_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worker_threads_test.cpp
  LIBS brumkey_core)
target_include_directories(worker_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/device)
brumkey_test(desktop_launch_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_launch_test.cpp LIBS brumkey_core)
