/* A loadable module without the symbol the picky test loader asks for. */
int pellum_test_plain_value(void) { return 7; }
