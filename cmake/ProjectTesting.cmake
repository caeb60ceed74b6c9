# Declaring tests, fuzzers and benchmarks.
#
#   project_add_test(NAME <name> SOURCES ... [LIBS ...] [LABELS ...]
#                    [NET] [STATIONS <n>] [NETEM "<tc netem args>"] [X11]
#                    [TIMEOUT <s>] [ARGS ...])
#     A GoogleTest program. NET runs it through tools/netlab in a private
#     network namespace (label "net"); STATIONS adds that many connected
#     station namespaces; X11 runs it against an Xvfb of its own (label
#     "x11"). Label "thread" puts it into the ThreadSanitizer group.
#
#   project_add_fuzzer(NAME <name> SOURCES ... [LIBS ...] [CORPUS <dir>] [NET]
#                      [FUZZ_ARGS ...])
#     A libFuzzer target (LLVMFuzzerTestOneInput). With PROJECT_FUZZ it is a
#     real fuzzer run for PROJECT_FUZZ_SECONDS (label "fuzz"); otherwise it is
#     built with a small driver that replays the seed corpus (label "unit").
#     NET runs it through tools/netlab (its code opens sockets); FUZZ_ARGS
#     are more libFuzzer options for the fuzz run.
#
#   project_add_benchmark(NAME <name> SOURCES ... [LIBS ...])
#     A benchmark program (Google Benchmark or plain), built into the
#     "benchmarks" target, run by tools/run-benchmarks, never by ctest.

enable_testing()
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
find_package(benchmark QUIET)

set(PROJECT_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzzer runs under ctest")
set(PROJECT_NETLAB ${PROJECT_SOURCE_DIR}/tools/netlab/netlab)
set(PROJECT_WITH_XVFB ${PROJECT_SOURCE_DIR}/tools/with-xvfb)

define_property(GLOBAL PROPERTY PROJECT_THREAD_TESTS BRIEF_DOCS "thread tests" FULL_DOCS "tests run under TSan")
define_property(GLOBAL PROPERTY PROJECT_ALL_TESTS BRIEF_DOCS "all tests" FULL_DOCS "all test programs")
define_property(GLOBAL PROPERTY PROJECT_FUZZERS BRIEF_DOCS "fuzzers" FULL_DOCS "fuzz targets")
define_property(GLOBAL PROPERTY PROJECT_BENCHMARKS BRIEF_DOCS "benchmarks" FULL_DOCS "benchmark programs")

# Plug-ins made only for tests register here (platform_add_plugin TEST_ONLY);
# every test and benchmark program names this file to the class registry at
# start-up, so they see those plug-ins and nothing else does.
set(PROJECT_TEST_CLASS_REGISTRY ${PROJECT_BINARY_DIR}/test_class_registry.txt)
add_library(project_test_registry OBJECT ${CMAKE_CURRENT_LIST_DIR}/test_registry_overlay.cpp)
target_compile_definitions(project_test_registry PRIVATE
  PROJECT_TEST_CLASS_REGISTRY="${PROJECT_TEST_CLASS_REGISTRY}")

function(project_add_test)
  cmake_parse_arguments(T "NET;X11" "NAME;STATIONS;NETEM;TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} $<TARGET_OBJECTS:project_test_registry>)
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tools/netlab)

  set(cmd $<TARGET_FILE:${T_NAME}> ${T_ARGS})
  set(labels ${T_LABELS})
  if(T_X11)
    set(cmd ${PROJECT_WITH_XVFB} -- ${cmd})
    list(APPEND labels x11)
  endif()
  if(T_NET OR T_STATIONS)
    set(lab ${PROJECT_NETLAB})
    if(T_STATIONS)
      list(APPEND lab --stations ${T_STATIONS})
    endif()
    if(T_NETEM)
      list(APPEND lab --netem "${T_NETEM}")
      # Kernels without netem need the lab's impairment relay.
      add_dependencies(${T_NAME} netlab-impair)
    endif()
    set(cmd ${lab} -- ${cmd})
    list(APPEND labels net)
  endif()
  if(NOT labels)
    set(labels unit)
  endif()

  add_test(NAME ${T_NAME} COMMAND ${cmd})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${labels}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "PROJECT_BINARY_DIR=${PROJECT_BINARY_DIR};PROJECT_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  set_property(GLOBAL APPEND PROPERTY PROJECT_ALL_TESTS ${T_NAME})
  if("thread" IN_LIST labels)
    set_property(GLOBAL APPEND PROPERTY PROJECT_THREAD_TESTS ${T_NAME})
  endif()
endfunction()

function(project_add_fuzzer)
  cmake_parse_arguments(F "NET" "NAME;CORPUS" "SOURCES;LIBS;FUZZ_ARGS" ${ARGN})
  if(NOT F_CORPUS)
    set(F_CORPUS ${PROJECT_SOURCE_DIR}/fuzz/corpus/${F_NAME})
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  set(lab)
  if(F_NET)
    set(lab ${PROJECT_NETLAB} --)
  endif()
  if(PROJECT_FUZZ)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}-corpus)
    file(MAKE_DIRECTORY ${work})
    add_test(NAME ${F_NAME} COMMAND ${lab} $<TARGET_FILE:${F_NAME}>
      -max_total_time=${PROJECT_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
      -print_final_stats=1 ${F_FUZZ_ARGS} ${work} ${F_CORPUS})
    set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz
      TIMEOUT 600 SKIP_RETURN_CODE 77)
  else()
    target_sources(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    add_test(NAME ${F_NAME}_replay COMMAND ${lab} $<TARGET_FILE:${F_NAME}> ${F_CORPUS})
    set(labels unit)
    if(F_NET)
      set(labels unit net)
    endif()
    set_tests_properties(${F_NAME}_replay PROPERTIES LABELS "${labels}" TIMEOUT 300 SKIP_RETURN_CODE 77)
    set_property(GLOBAL APPEND PROPERTY PROJECT_ALL_TESTS ${F_NAME})
  endif()
  set_property(GLOBAL APPEND PROPERTY PROJECT_FUZZERS ${F_NAME})
endfunction()

function(project_add_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} EXCLUDE_FROM_ALL ${B_SOURCES} $<TARGET_OBJECTS:project_test_registry>)
  target_link_libraries(${B_NAME} PRIVATE Threads::Threads ${B_LIBS})
  target_include_directories(${B_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tools/netlab)
  if(benchmark_FOUND)
    target_link_libraries(${B_NAME} PRIVATE benchmark::benchmark)
  endif()
  set_property(GLOBAL APPEND PROPERTY PROJECT_BENCHMARKS ${B_NAME})
endfunction()

# Called once at the end of the top-level list: group targets so that the
# sanitizer and fuzz builds compile only what they run.
function(project_finish_test_groups)
  foreach(group THREAD_TESTS ALL_TESTS FUZZERS BENCHMARKS)
    get_property(targets GLOBAL PROPERTY PROJECT_${group})
    string(TOLOWER ${group} tname)
    add_custom_target(${tname})
    if(targets)
      add_dependencies(${tname} ${targets})
    endif()
  endforeach()
endfunction()
