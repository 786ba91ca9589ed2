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
