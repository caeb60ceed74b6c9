/* A small loadable module for the loader tests; PLUGIN_NAME is set by the build. */
const char* pellum_test_plugin_name(void) { return PLUGIN_NAME; }
