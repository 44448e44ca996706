quorvelan_bench(bench_rendering SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/rendering.cpp LIBS quorvelan_rendering)
