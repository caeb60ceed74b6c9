# The receiver program on a real X server with the real engine, receiving a
# sending station (a second process in the same network lab).
add_executable(talvex_station ${CMAKE_CURRENT_LIST_DIR}/talvex_station.cpp)
target_link_libraries(talvex_station PRIVATE talvex)

project_add_test(NAME morvane_ui_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/morvane_ui_test.cpp
  LIBS morvane_ui_forms Qt6::Test
  NET X11 TIMEOUT 180)
add_dependencies(morvane_ui_test talvex_station ostrel ingrel loupex tracion blendor platform_filters)

# A start without the system's filters: the engine's messages are shown and
# the program ends as a failure, with the engine shut down.
project_add_test(NAME morvane_ui_start_failure_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/morvane_ui_start_failure_test.cpp
  LIBS morvane_ui_forms Qt6::Test
  NET X11 TIMEOUT 120)
gui_test_environment(morvane_ui_test)
gui_test_environment(morvane_ui_start_failure_test)
