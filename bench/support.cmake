quorvelan_bench(bench_support SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/support.cpp LIBS quorvelan_support)
