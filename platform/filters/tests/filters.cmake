project_add_test(NAME platform_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graph_test.cpp
  LIBS platform_media
  LABELS unit thread
  TIMEOUT 120)
add_dependencies(platform_graph_test platform_filters media_test_plugin)
project_add_test(NAME platform_video_renderer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/video_renderer_test.cpp
  LIBS platform_media X11::X11 PNG::PNG
  LABELS thread
  X11
  TIMEOUT 120)
add_dependencies(platform_video_renderer_test platform_filters media_test_plugin)
# The dump program on its demonstration graph.
add_test(NAME graphdump_runs COMMAND graphdump --dot)
set_tests_properties(graphdump_runs PROPERTIES LABELS unit
  ENVIRONMENT "POINTSHARE_TEST_CLASS_REGISTRY=${PROJECT_TEST_CLASS_REGISTRY}"
  PASS_REGULAR_EXPRESSION "f1 -> f2 \\[label=\"Output1 -> In")
