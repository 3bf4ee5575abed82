// The table of Pascal's triangle: rows 0 .. glines-1, each its own array.
#ifndef TRIANGLE_H
#define TRIANGLE_H

#include "quobi-pascal.h"

// Slot i points to row i, which holds i+1 values; slots from glines on stay
// empty.  The rows live until the process ends.
extern double *garray[MAX_LINES];

// Allocates rows 0 .. glines-1, zero-filled.  Ends the process with status 2
// when memory runs out.
void allocate_triangle();

// Fills the allocated rows, each entry the sum of the two above it.
void calculate_triangle();

#endif
