# The receiver engine between two lab stations: following a focus display
# change, capture-to-render latency, CPU per frame.
project_add_benchmark(NAME morvane_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/morvane_bench.cpp
  LIBS morvane_core morvane_lab_sender)
add_dependencies(morvane_bench morvane-receive talvex-send)
morvane_use_modules(morvane_bench)
target_compile_definitions(morvane_bench PRIVATE
  MORVANE_RECEIVE="$<TARGET_FILE:morvane-receive>" TALVEX_SEND="$<TARGET_FILE:talvex-send>")
