quorvelan_bench(bench_gfx_shader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gfx_shader.cpp LIBS quorvelan_platform_gfx)
