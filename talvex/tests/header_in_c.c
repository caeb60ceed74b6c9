/* Talvex.h is a C header: this file must compile as C (ISO C11, pedantic). */
#include "talvex/Talvex.h"

/* One use of the header's types, so that the file is not empty. */
int talvexHeaderInC(TalvexWindow window) { return window != 0; }
