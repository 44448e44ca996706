# Every target names its sources: a file that is listed but missing stops the
# configure, and a file that is not listed is not built.

include(${CMAKE_CURRENT_LIST_DIR}/QuorvelanLinkBorder.cmake)

# quorvelan_library(NAME SOURCES files... [LIBS libs...]): a static library of
# the given sources (relative to the calling CMakeLists.txt).
function(quorvelan_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT L_SOURCES)
    message(FATAL_ERROR "quorvelan_library(${name}): no SOURCES")
  endif()
  add_library(${name} STATIC ${L_SOURCES})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()

# quorvelan_link_main(TARGET MAIN lib LARGE_STACK_MAIN lib): gives TARGET its
# entry. One that links the device (quorvelan_platform_gfx), directly or not,
# gets LARGE_STACK_MAIN, which runs it on the large stack as the program runs:
# the driver compiles a shader where it is first drawn, recursing as deep as
# the shader's longest chain of dependent values, and an ordinary main
# thread's 8 MB runs out. Any other gets MAIN.
function(quorvelan_link_main target)
  cmake_parse_arguments(M "" "MAIN;LARGE_STACK_MAIN" "" ${ARGN})
  quorvelan_link_chain(${target} PATTERN "^quorvelan_platform_gfx$" OUT draws)
  if(draws)
    target_link_libraries(${target} PRIVATE ${M_LARGE_STACK_MAIN})
  else()
    target_link_libraries(${target} PRIVATE ${M_MAIN})
  endif()
endfunction()

# quorvelan_test(NAME DIR SOURCES files... LIBS libs...): one GoogleTest
# program of the given sources in DIR, run from DIR so that fixtures beside the
# tests are found by relative path. Rendering and audio run headless: SDL's
# offscreen video and dummy audio drivers. A program that links the device
# runs its tests on the large stack (quorvelan_test_large_stack_main).
function(quorvelan_test name dir)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    message(FATAL_ERROR "quorvelan_test(${name}): no SOURCES")
  endif()
  list(TRANSFORM T_SOURCES PREPEND ${dir}/)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  quorvelan_link_main(${name} MAIN GTest::gtest_main LARGE_STACK_MAIN quorvelan_test_large_stack_main)
  # gtest_discover_tests passes only the first entry of an ENVIRONMENT list
  # through, so the environment comes from env(1) in front of the program.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    /usr/bin/env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
    QUORVELAN_SOURCE_DIR=${CMAKE_SOURCE_DIR} QUORVELAN_BINARY_DIR=${CMAKE_BINARY_DIR})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${dir}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
endfunction()

# quorvelan_bench(NAME SOURCES... LIBS ...): one Google Benchmark program; its
# entry as a test program's (quorvelan_bench_large_stack_main where it links
# the device).
function(quorvelan_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  quorvelan_link_main(${name} MAIN benchmark::benchmark_main LARGE_STACK_MAIN quorvelan_bench_large_stack_main)
endfunction()

# quorvelan_header_check(LIBS libs...): every header under src/ must compile on
# its own and together with all the others. Two object libraries, built with
# everything else: one translation unit per header, and one that includes all
# of them. The headers are found by globbing on purpose: a new header is
# checked without being listed.
function(quorvelan_header_check)
  cmake_parse_arguments(H "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/*.h)
  list(SORT headers)
  set(dir ${CMAKE_BINARY_DIR}/header_check)
  set(all "")
  set(alone "")
  foreach(header ${headers})
    string(APPEND all "#include \"${header}\"\n")
    string(MAKE_C_IDENTIFIER ${header} stem)
    file(CONFIGURE OUTPUT ${dir}/alone/${stem}.cpp CONTENT "#include \"${header}\"\n")
    list(APPEND alone ${dir}/alone/${stem}.cpp)
  endforeach()
  file(CONFIGURE OUTPUT ${dir}/all_headers.cpp CONTENT "${all}")
  add_library(quorvelan_headers_together OBJECT ${dir}/all_headers.cpp)
  add_library(quorvelan_headers_alone OBJECT ${alone})
  foreach(target quorvelan_headers_together quorvelan_headers_alone)
    target_link_libraries(${target} PRIVATE ${H_LIBS})
    target_compile_options(${target} PRIVATE -Werror)
  endforeach()
endfunction()
