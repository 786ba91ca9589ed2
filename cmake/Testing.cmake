# GoogleTest, built from the sources Debian ships, for every target.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Windows tests run under Wine: tests/wine-run gives each test program its
  # own copy of a prefix that the fixture test "wine_prefix" makes once per
  # run.
  set(VORLO_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/tests/wine-run;${VORLO_WINE_TEMPLATE})
  add_test(NAME wine_prefix
           COMMAND ${PROJECT_SOURCE_DIR}/tests/wine-run --init ${VORLO_WINE_TEMPLATE})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
endif()

# vorlo_add_test(name SOURCES a.cpp ... LIBS lib ...): one GoogleTest program,
# registered with CTest.
# LOCK names a resource the test must not share with another at the same
# time (the machine's processes, for tests that start Vorlo's stand-in).
function(vorlo_add_test name)
  cmake_parse_arguments(T "" "LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # Every test program carries the built-in texts and window description.
  target_link_libraries(${name} PRIVATE ${T_LIBS} vorlo_resources vorlo_test_support GTest::gtest
                        vorlo_warnings vorlo_defs)
  if(VORLO_TSAN AND NOT name IN_LIST VORLO_THREAD_TESTS)
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
    if(T_LOCK)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${T_LOCK})
    endif()
  elseif(T_LOCK)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 RESOURCE_LOCK ${T_LOCK})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()
