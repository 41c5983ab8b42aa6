# Window-system layer: present time on a private Xvfb.
brumkey_bench(bench_ui_present SOURCES ui_present_bench.cpp LIBS KelvoUI PkgConfig::X11)
