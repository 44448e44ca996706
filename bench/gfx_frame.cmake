quorvelan_bench(bench_gfx_frame SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gfx_frame.cpp LIBS quorvelan_platform_gfx)
