#include "pellum/Pellum.h"

// The library keeps no global state that needs setting up or tearing down:
// every facility initialises itself on first use.
bool Pellum::initialize() { return true; }
bool Pellum::shutdown() { return true; }
