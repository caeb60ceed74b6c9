# Language level, warnings and instrumentation shared by every target.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()
# Keep assertions in the optimised build: tests rely on them.
string(REPLACE "-DNDEBUG" "" CMAKE_CXX_FLAGS_RELWITHDEBINFO "${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")
string(REPLACE "-DNDEBUG" "" CMAKE_C_FLAGS_RELWITHDEBINFO "${CMAKE_C_FLAGS_RELWITHDEBINFO}")

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra -Werror)

# PROJECT_SANITIZE: a list such as "address;undefined" or "thread".
set(PROJECT_SANITIZE "" CACHE STRING "Sanitizers to build with (address;undefined or thread)")
if(PROJECT_SANITIZE)
  list(JOIN PROJECT_SANITIZE "," _san)
  add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_san})
endif()

# PROJECT_COVERAGE: instrument for gcov line and branch counts (tools/coverage).
option(PROJECT_COVERAGE "Build with --coverage for tools/coverage" OFF)
if(PROJECT_COVERAGE)
  add_compile_options(--coverage)
  add_link_options(--coverage)
endif()

# PROJECT_FUZZ: build the libFuzzer targets (needs clang).
option(PROJECT_FUZZ "Build libFuzzer targets (clang only)" OFF)
if(PROJECT_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "PROJECT_FUZZ needs clang (configure with CXX=clang++)")
endif()
# Every library and plug-in module is instrumented for coverage too, so that
# the fuzzers are guided by the code they reach, not only by their own file.
if(PROJECT_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Shared libraries and plug-in modules land in one folder so that the
# run-time loader and the class registry find them in the build tree.
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
set(CMAKE_BUILD_RPATH ${PROJECT_BINARY_DIR}/lib)
