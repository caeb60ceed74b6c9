# Tests of the core library, one program per class family.
project_add_test(NAME pellum_object_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/object_test.cpp
  LIBS pellum LABELS unit thread)
project_add_test(NAME pellum_string_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/string_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_array_sort_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/array_sort_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_inifile_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/inifile_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_registry_file_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/registry_file_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_notify_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/notify_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_thread_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/thread_test.cpp
  LIBS pellum LABELS unit thread TIMEOUT 120)

# Modules for the loader test, written to a folder of their own.
set(_plugin_dir ${CMAKE_CURRENT_BINARY_DIR}/test_plugins)
foreach(name alpha beta)
  add_library(pellum_test_plugin_${name} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/tests/test_plugin.c)
  target_compile_definitions(pellum_test_plugin_${name} PRIVATE PLUGIN_NAME="${name}")
  set_target_properties(pellum_test_plugin_${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${_plugin_dir} PREFIX "")
endforeach()
add_library(pellum_test_plugin_plain MODULE ${CMAKE_CURRENT_SOURCE_DIR}/tests/test_plugin_plain.c)
set_target_properties(pellum_test_plugin_plain PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${_plugin_dir} PREFIX "")
project_add_test(NAME pellum_loader_display_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/loader_display_test.cpp
  LIBS pellum)
target_compile_definitions(pellum_loader_display_test PRIVATE PELLUM_TEST_PLUGIN_DIR="${_plugin_dir}")
add_dependencies(pellum_loader_display_test pellum_test_plugin_alpha pellum_test_plugin_beta pellum_test_plugin_plain)
project_add_test(NAME pellum_display_x11_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/display_x11_test.cpp
  LIBS pellum X11::X11 X11::Xrandr X11 TIMEOUT 120)
