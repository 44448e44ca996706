quorvelan_bench(bench_intro SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/intro.cpp LIBS quorvelan_intro)
