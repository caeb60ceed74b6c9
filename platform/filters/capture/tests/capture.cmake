# Tests of the capture sources. The filter sources are compiled into the
# graph tests as well, so that they can run a capture filter over a device
# that fails on purpose, and call the camera listing directly.
set(_capture_dir ${CMAKE_CURRENT_LIST_DIR}/..)
project_add_test(NAME platform_capture_pattern_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pattern_test.cpp
          ${_capture_dir}/test_pattern_image.cpp ${_capture_dir}/video_format.cpp
  LIBS platform_media
  LABELS unit)
project_add_test(NAME platform_capture_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_graph_test.cpp ${CAPTURE_SOURCES}
  LIBS platform_media PkgConfig::CAPTURE_LIBS
  LABELS unit thread
  TIMEOUT 180)
add_dependencies(platform_capture_graph_test platform_capture platform_filters)
project_add_test(NAME platform_capture_v4l2_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/v4l2_test.cpp ${CAPTURE_SOURCES}
  LIBS platform_media PkgConfig::CAPTURE_LIBS
  LABELS unit thread
  TIMEOUT 120)
add_dependencies(platform_capture_v4l2_test platform_capture platform_filters)
find_package(X11 REQUIRED)
project_add_test(NAME platform_capture_screen_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/screen_capture_test.cpp ${_capture_dir}/video_format.cpp
  LIBS platform_media X11::X11
  LABELS unit thread
  X11
  TIMEOUT 120)
add_dependencies(platform_capture_screen_test platform_capture platform_filters)
