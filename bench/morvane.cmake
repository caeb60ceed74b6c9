if(TARGET morvane_lab_sender OR EXISTS ${PROJECT_SOURCE_DIR}/morvane/e2e/lab_sender.cpp)
  project_add_benchmark(NAME morvane_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/morvane_bench.cpp
    LIBS morvane_core morvane_lab_sender)
  add_dependencies(morvane_bench morvane-receive)
  morvane_use_modules(morvane_bench)
  target_compile_definitions(morvane_bench PRIVATE MORVANE_RECEIVE="$<TARGET_FILE:morvane-receive>")
endif()
