# quorvelan_library(NAME DIR [deps...]): a static library of every .cpp below DIR.
function(quorvelan_library name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# quorvelan_test(NAME DIR [libs...]): one GoogleTest program of every .cpp in DIR,
# run from DIR so that fixtures beside the tests are found by relative path.
# Rendering and audio run headless: SDL's offscreen video and dummy audio drivers.
function(quorvelan_test name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
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

# quorvelan_bench(NAME SOURCES... LIBS ...)
function(quorvelan_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
