// The shared library's own translation unit; its classes come from the core
// archive linked whole.
#include "seriallib/Sercor32.h"
