# The whole system against ffmpeg and GStreamer in the network lab
# (bench/system): latency, processor time and frames delivered at 2 % loss.
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND)
  message(STATUS "system_bench left out: nlohmann-json3-dev is not installed (tools/install-deps)")
  return()
endif()
set(_system_bench_dir ${CMAKE_CURRENT_LIST_DIR}/system)
set(_capture_dir ${PROJECT_SOURCE_DIR}/platform/filters/capture)
set(SYSTEM_BENCH_SOURCES
  ${_system_bench_dir}/child_process.cpp ${_system_bench_dir}/frame_source.cpp ${_system_bench_dir}/frame_sink.cpp
  ${_system_bench_dir}/pipe_runner.cpp ${_system_bench_dir}/ffmpeg_runner.cpp
  ${_system_bench_dir}/gstreamer_runner.cpp ${_system_bench_dir}/systems.cpp ${_system_bench_dir}/run_record.cpp ${_system_bench_dir}/fanout_figure.cpp
  ${_system_bench_dir}/mode_change.cpp ${_system_bench_dir}/mode_switch.cpp ${_system_bench_dir}/line_reader.cpp
  ${_system_bench_dir}/lab_run.cpp ${_system_bench_dir}/report.cpp ${_system_bench_dir}/ours_runner.cpp
  ${_system_bench_dir}/monitor_log.cpp ${PROJECT_SOURCE_DIR}/bench/lab_station.cpp
  ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp)
project_add_benchmark(NAME system_bench
  SOURCES ${_system_bench_dir}/system_bench.cpp ${SYSTEM_BENCH_SOURCES}
  LIBS platform_media nlohmann_json::nlohmann_json demo_run_core)
target_compile_definitions(system_bench PRIVATE
  SYSTEM_BENCH_OUT_DIR="${PROJECT_BINARY_DIR}/bench"
  SYSTEM_BENCH_NETLAB="${PROJECT_SOURCE_DIR}/tools/netlab/netlab"
  SYSTEM_BENCH_TALVEX_SEND="$<TARGET_FILE:talvex-send>"
  SYSTEM_BENCH_MORVANE_RECEIVE="$<TARGET_FILE:morvane-receive>")
# Our own system's two programs and the modules they load.
add_dependencies(system_bench talvex-send morvane-receive)
# The loss phase needs the lab's impairment relay where the kernel has no netem.
add_dependencies(system_bench netlab-impair)

file(GLOB _fragments CONFIGURE_DEPENDS ${_system_bench_dir}/tests/*.cmake)
foreach(f IN LISTS _fragments)
  include(${f})
endforeach()
