brumkey_test(device_link_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/device_link_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report_timing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_notify_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/match_path_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/simulated_bus_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hidapi_transport_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/udev_rules_test.cpp
  LIBS brumkey_core brumkey_udev_rules)
add_dependencies(device_link_tests brumkey_udev_rule)
