# The shared GUI pieces on a real X server (Xvfb); the property frame opens
# the real multicast client filter's pages, which opens a socket, so the
# test runs in the network lab.
project_add_test(NAME gui_common_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_common_test.cpp
  LIBS gui_common Qt6::Test
  NET X11 TIMEOUT 120)
add_dependencies(gui_common_test ingrel platform_filters)
gui_test_environment(gui_common_test)
