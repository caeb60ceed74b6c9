# The sender program on a real X server with the real engine, inside the
# network lab (the engine multicasts from its first moment).
project_add_test(NAME talvex_ui_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/talvex_ui_test.cpp
  LIBS talvex_ui_forms Qt6::Test
  NET X11 TIMEOUT 180)
add_dependencies(talvex_ui_test ostrel ingrel loupex tracion blendor platform_filters)

# A start without the system's filters: the engine's messages are shown and
# the program ends as a failure, with the engine shut down.
project_add_test(NAME talvex_ui_start_failure_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/talvex_ui_start_failure_test.cpp
  LIBS talvex_ui_forms Qt6::Test
  NET X11 TIMEOUT 120)
gui_test_environment(talvex_ui_test)
gui_test_environment(talvex_ui_start_failure_test)
