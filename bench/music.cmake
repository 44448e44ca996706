quorvelan_bench(bench_music SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/music.cpp LIBS quorvelan_music)
target_compile_options(bench_music PRIVATE -ffp-contract=off -fno-fast-math)
