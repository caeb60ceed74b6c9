# The sender engine: rebuild and start-up to the first frame sent, and CPU
# per frame against ffmpeg (inside the lab: tools/netlab/netlab -- build/bin/talvex_bench).
if(TARGET talvex)
  project_add_benchmark(NAME talvex_bench
    SOURCES ${PROJECT_SOURCE_DIR}/bench/talvex_bench.cpp
            ${PROJECT_SOURCE_DIR}/platform/filters/capture/test_pattern_image.cpp
            ${PROJECT_SOURCE_DIR}/platform/filters/capture/video_format.cpp
    LIBS talvex platform_media)
  foreach(m platform_filters platform_capture platform_codecs platform_audio outside_filters ostrel ingrel tracion)
    string(TOUPPER ${m} _upper)
    add_dependencies(talvex_bench ${m})
    target_compile_definitions(talvex_bench PRIVATE ${_upper}_MODULE="$<TARGET_FILE:${m}>")
  endforeach()
endif()
