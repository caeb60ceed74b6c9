# CMake generated Testfile for 
# Source directory: /work/wt/codecs/platform/filters/codecs
# Build directory: /work/wt/codecs/platform/filters/codecs
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
add_test([=[platform_codecs_graph_test]=] "/work/wt/codecs/bin/platform_codecs_graph_test")
set_tests_properties([=[platform_codecs_graph_test]=] PROPERTIES  ENVIRONMENT "PROJECT_BINARY_DIR=/work/wt/codecs;PROJECT_SOURCE_DIR=/work/wt/codecs" LABELS "unit;thread" SKIP_RETURN_CODE "77" TIMEOUT "300" _BACKTRACE_TRIPLES "/work/wt/codecs/cmake/ProjectTesting.cmake;63;add_test;/work/wt/codecs/platform/filters/codecs/tests/codecs.cmake;2;project_add_test;/work/wt/codecs/platform/filters/codecs/tests/codecs.cmake;0;;/work/wt/codecs/platform/filters/codecs/CMakeLists.txt;14;include;/work/wt/codecs/platform/filters/codecs/CMakeLists.txt;0;")
