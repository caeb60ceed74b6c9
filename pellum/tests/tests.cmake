# Tests of the core library, one program per class family.
project_add_test(NAME pellum_object_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/object_test.cpp
  LIBS pellum LABELS unit thread)
project_add_test(NAME pellum_string_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/string_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_array_sort_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/array_sort_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_inifile_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/inifile_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_inifile_concurrency_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/inifile_concurrency_test.cpp LIBS pellum LABELS unit thread)

# A comma-decimal locale for the settings-file test (numbers must not follow
# the process locale), compiled from the system's locale sources into the
# build tree; the test finds it through LOCPATH.
find_program(PELLUM_LOCALEDEF localedef)
if(PELLUM_LOCALEDEF AND EXISTS /usr/share/i18n/locales/de_DE)
  set(_locale_dir ${CMAKE_CURRENT_BINARY_DIR}/test_locales)
  set(_locale_stamp ${_locale_dir}/de_DE.UTF-8/LC_NUMERIC)
  # localedef exits with 1 on mere warnings: what counts is the compiled file.
  add_custom_command(OUTPUT ${_locale_stamp}
    COMMAND sh -c "mkdir -p '${_locale_dir}' && { '${PELLUM_LOCALEDEF}' -i de_DE -f UTF-8 '${_locale_dir}/de_DE.UTF-8' || test -f '${_locale_stamp}'; }"
    COMMENT "Compiling the de_DE.UTF-8 locale for the tests" VERBATIM)
  add_custom_target(pellum_test_locale DEPENDS ${_locale_stamp})
  add_dependencies(pellum_inifile_test pellum_test_locale)
  target_compile_definitions(pellum_inifile_test PRIVATE PELLUM_TEST_LOCALE_DIR="${_locale_dir}")
else()
  message(STATUS "localedef or the de_DE locale source is missing: the locale case of pellum_inifile_test is left out")
endif()
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
