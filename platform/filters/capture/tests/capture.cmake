# Tests of the capture sources. The filter sources are compiled into the
# graph test as well, so that it can run a capture filter over a device
# that fails on purpose next to the real plug-in ones.
set(_capture_dir ${CMAKE_CURRENT_LIST_DIR}/..)
project_add_test(NAME platform_capture_pattern_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pattern_test.cpp
          ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp
  LIBS platform_media
  LABELS unit)
project_add_test(NAME platform_capture_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_graph_test.cpp
          ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp
          ${_capture_dir}/capture_filter.cpp
  LIBS platform_media
  LABELS unit thread
  TIMEOUT 180)
add_dependencies(platform_capture_graph_test platform_capture platform_filters)
