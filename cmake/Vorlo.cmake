# Settings shared by the project's own targets.

# Warnings are errors on the project's own code (not on GoogleTest's).
add_library(vorlo_warnings INTERFACE)
target_compile_options(vorlo_warnings INTERFACE -Wall -Wextra -Werror)

add_library(vorlo_defs INTERFACE)
target_include_directories(vorlo_defs INTERFACE ${PROJECT_SOURCE_DIR})
if(WIN32)
  # Only the W functions are called; keep windows.h's macros small.
  target_compile_definitions(vorlo_defs INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  set(VORLO_PLATFORM win32)
else()
  set(VORLO_PLATFORM posix)
endif()

# VORLO_TSAN builds everything with ThreadSanitizer; only the tests that run
# a worker against the window thread are registered then (preset linux-tsan).
option(VORLO_TSAN "Build with ThreadSanitizer and test the threads only" OFF)
set(VORLO_THREAD_TESTS handoff_test exec_test run_test)
if(VORLO_TSAN)
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()

# VORLO_ASAN builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (preset linux-asan); the unit and integration
# tests run in it, and with clang the fuzz targets of tests/fuzz are built
# too, the whole program instrumented for them.
option(VORLO_ASAN "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VORLO_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(VORLO_FUZZ ON)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
