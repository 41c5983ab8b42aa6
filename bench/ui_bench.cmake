# Toolkit repaint benchmarks (headless window system).
brumkey_bench(ui_repaint_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_repaint_bench.cpp LIBS KelvoUI)
add_dependencies(ui_repaint_bench kelvo_skins)
