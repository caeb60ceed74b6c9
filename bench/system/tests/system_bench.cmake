# The system benchmark's own tests: its parts (picture source and sink back
# to back, run figures, helper programs), and its quick form in a clean and
# in a lossy lab, its fan-out runs in a lab of 9 stations and its
# focus-display changes in a lab of 3.
project_add_test(NAME system_bench_parts_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_code_test.cpp ${CMAKE_CURRENT_LIST_DIR}/run_record_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/child_process_test.cpp ${CMAKE_CURRENT_LIST_DIR}/lab_counters_test.cpp
          ${PROJECT_SOURCE_DIR}/bench/lab_station.cpp ${_system_bench_dir}/frame_source.cpp
          ${_system_bench_dir}/frame_sink.cpp ${_system_bench_dir}/run_record.cpp ${_system_bench_dir}/fanout_figure.cpp ${_system_bench_dir}/mode_change.cpp
          ${_system_bench_dir}/line_reader.cpp ${_system_bench_dir}/monitor_log.cpp
          ${_system_bench_dir}/child_process.cpp ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp
  LIBS platform_media nlohmann_json::nlohmann_json demo_run_core
  LABELS unit thread)
foreach(_variant latency loss fanout switch)
  set(_netem)
  set(_stations 2)
  if(_variant STREQUAL loss)
    set(_netem NETEM "loss 2%")
  elseif(_variant STREQUAL fanout)
    set(_stations 9)
  elseif(_variant STREQUAL switch)
    set(_stations 3)
  endif()
  project_add_test(NAME system_bench_${_variant}_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_bench_test.cpp
    LIBS nlohmann_json::nlohmann_json
    STATIONS ${_stations} ${_netem}
    TIMEOUT 240)
  target_compile_definitions(system_bench_${_variant}_test PRIVATE SYSTEM_BENCH_PROGRAM="$<TARGET_FILE:system_bench>"
    SYSTEM_BENCH_TEST_PHASE="${_variant}")
  add_dependencies(system_bench_${_variant}_test system_bench)
endforeach()
