project_add_benchmark(NAME media_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_bench.cpp
  LIBS platform_media)
add_dependencies(media_bench platform_filters media_test_plugin)
