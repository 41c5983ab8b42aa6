# Toolkit core tests: the object model alone, then the paint manager,
# dialogs, painting and menus on the headless window system.
brumkey_test(ui_core_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_object_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/core_manager_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/core_render_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/core_window_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/core_lsan.cpp
  LIBS KelvoUI
  LABELS headless)
add_dependencies(ui_core_tests kelvo_skins)
