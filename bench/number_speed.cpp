// Times format_number over the numbers that the long run formats, the left
// half of every row of the 1000-row table, and prints the nanoseconds per
// number of the fastest of many passes.  With --portable it times the path
// that targets without 128-bit integers or SSE2 take.
// Usage: number-speed [--portable]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

int
main(int argc, char *argv[])
{
	bool portable = argc == 2 && std::strcmp(argv[1], "--portable") == 0;
	if (argc > 2 || (argc == 2 && !portable)) {
		std::fputs("usage: number-speed [--portable]\n", stderr);
		return 2;
	}
	int (*format)(double, char *) = portable ? format_number_portable : format_number;

	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	std::vector<double> values;
	for (int i = 0; i < glines; i++)
		values.insert(values.end(), garray[i], garray[i] + i / 2 + 1);

	// The texts go one after the other into a buffer the size of a
	// long row's, as the display writes them.
	static char line[MAX_LINES * (NUMBER_TEXT_MAX + 1)];
	double fastest = 1e9;
	unsigned long checksum = 0;
	for (int pass = 0; pass < 200; pass++) {
		auto start = std::chrono::steady_clock::now();
		char *p = line;
		for (double value : values) {
			p += format(value, p) + 1;
			if (p - line > static_cast<long>(sizeof line) - NUMBER_TEXT_MAX - 1) {
				checksum += static_cast<unsigned char>(line[1]);
				p = line;
			}
		}
		std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
		checksum += static_cast<unsigned long>(p - line);
		if (took.count() < fastest)
			fastest = took.count();
	}
	std::printf("%.2f ns per number over %zu numbers (check %lu)\n",
	    fastest * 1e9 / static_cast<double>(values.size()), values.size(), checksum);
	return 0;
}
