brumkey_bench(bench_store SOURCES store_bench.cpp LIBS brumkey_core PkgConfig::SQLITE)
