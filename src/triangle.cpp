// The table of Pascal's triangle, computed row by row in double precision.
#include "triangle.h"

#include <cassert>
#include <cstdlib>

double *garray[MAX_LINES];

void
allocate_triangle()
{
	assert(glines >= 1 && glines <= MAX_LINES);
	for (int i = 0; i < glines; i++) {
		garray[i] = static_cast<double *>(std::calloc(i + 1, sizeof(double)));
		if (garray[i] == nullptr)
			out_of_memory();
	}
}

// Entries are exact binomial coefficients up to row 56.  From row 57 on some
// sums round to the nearest double, and later rows inherit the rounding: the
// printed table is defined by these additions, not by the binomial formula.
void
calculate_triangle()
{
	for (int i = 0; i < glines; i++) {
		double *row = garray[i];
		assert(row != nullptr);
		row[0] = 1.0;
		row[i] = 1.0;
		for (int j = 1; j < i; j++)
			row[j] = garray[i - 1][j - 1] + garray[i - 1][j];
	}
}
