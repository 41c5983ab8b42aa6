brumkey_bench(bench_device SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_link_bench.cpp LIBS brumkey_core)
target_compile_definitions(bench_device PRIVATE BRUMKEY_CONFIG_XML="${CMAKE_SOURCE_DIR}/data/config.xml")
