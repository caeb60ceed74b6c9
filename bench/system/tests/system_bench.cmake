# The system benchmark's own tests: its picture source and sink back to
# back, and its quick form in a clean and in a lossy lab.
project_add_test(NAME system_bench_frame_code_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_code_test.cpp ${_system_bench_dir}/frame_source.cpp
          ${_system_bench_dir}/frame_sink.cpp ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp
  LIBS platform_media
  LABELS unit thread)
foreach(_variant latency loss)
  set(_netem)
  if(_variant STREQUAL loss)
    set(_netem NETEM "loss 2%")
  endif()
  project_add_test(NAME system_bench_${_variant}_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_bench_test.cpp
    LIBS nlohmann_json::nlohmann_json
    STATIONS 2 ${_netem}
    TIMEOUT 240)
  target_compile_definitions(system_bench_${_variant}_test PRIVATE SYSTEM_BENCH_PROGRAM="$<TARGET_FILE:system_bench>")
  add_dependencies(system_bench_${_variant}_test system_bench)
endforeach()
