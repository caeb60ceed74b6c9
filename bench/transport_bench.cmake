project_add_benchmark(NAME transport_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/transport_bench.cpp
  LIBS kobase)
