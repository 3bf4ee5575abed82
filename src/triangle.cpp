// The table of Pascal's triangle, computed row by row in double precision.
#include "triangle.h"

#include <cassert>
#include <cstdlib>

// On x86-64 Linux, the table is filled with AVX2's four additions at a time
// where the processor has them; the dynamic loader, or a static
// executable's start, chooses once.  GCC makes the two versions; clang 14
// would need the choice in the header too, for the calls from elsewhere.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define FOUR_WIDE_WHERE_THE_PROCESSOR_HAS_IT __attribute__((target_clones("avx2", "default")))
#else
#define FOUR_WIDE_WHERE_THE_PROCESSOR_HAS_IT
#endif

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
// Entries j and i - j of row i are sums of the same two entries of the row
// above, in mirror order, and so the same double: each sum is made once and
// stored at both places.
FOUR_WIDE_WHERE_THE_PROCESSOR_HAS_IT void
calculate_triangle()
{
	for (int i = 0; i < glines; i++) {
		double *row = garray[i];
		assert(row != nullptr);
		row[0] = 1.0;
		row[i] = 1.0;
		if (i < 2)
			continue;
		const double *above = garray[i - 1];
		const int middle = i / 2;
		double *mirror = row + i;
#pragma GCC unroll 2
		for (int j = 1; j < i - middle; j++)
			row[j] = *--mirror = above[j - 1] + above[j];
		row[middle] = above[middle - 1] + above[middle];
	}
}
