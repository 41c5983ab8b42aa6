# Window-system layer tests. headless: no display; x11: starts its own Xvfb.
brumkey_test(ui_platform_headless_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_loop_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/platform_window_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/platform_test_util.cpp
  LIBS KelvoUI
  LABELS headless)
brumkey_test(ui_platform_x11_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_x11_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/platform_test_util.cpp
  LIBS KelvoUI PkgConfig::X11
  LABELS x11)
# The toolkit's pop-up menu over the X11 backend.
brumkey_test(ui_platform_x11_menu_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_x11_menu_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/platform_test_util.cpp
  LIBS KelvoUI PkgConfig::X11
  LABELS x11)
