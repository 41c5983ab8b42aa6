brumkey_bench(bench_protocol SOURCES ${CMAKE_CURRENT_LIST_DIR}/protocol_bench.cpp LIBS brumkey_core)
