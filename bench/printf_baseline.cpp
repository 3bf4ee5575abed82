// The baseline that bench/run measures quobi-pascal against: the same
// 1000-row table, built by the tool's own table code, printed one entry at a
// time with printf("%.15g ").
#include <cstdio>

#include "quobi-pascal.h"
#include "triangle.h"

int
main()
{
	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	for (int i = 0; i < glines; i++) {
		for (int j = 0; j <= i; j++)
			std::printf("%.15g ", garray[i][j]);
		std::putchar('\n');
	}
	return std::fclose(stdout) == 0 ? 0 : 2;
}
