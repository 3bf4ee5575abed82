// Times format_number over the numbers that the long run formats, the left
// half of every row of the 1000-row table, written one after the other as
// the display writes them, and prints the nanoseconds per number of the
// fastest of many passes.  Beside it, in passes that alternate with its own,
// the same for format_number_portable, the path of targets without 128-bit
// integers or SSE2.
#include <chrono>
#include <cstdio>
#include <vector>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

static double seconds_per_pass(int (*format)(double, char *), const std::vector<double> &values);

int
main()
{
	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	std::vector<double> values;
	for (int i = 0; i < glines; i++)
		values.insert(values.end(), garray[i], garray[i] + i / 2 + 1);

	double fastest = 1, fastest_portable = 1;
	for (int pass = 0; pass < 100; pass++) {
		double seconds = seconds_per_pass(format_number, values);
		if (seconds < fastest)
			fastest = seconds;
		seconds = seconds_per_pass(format_number_portable, values);
		if (seconds < fastest_portable)
			fastest_portable = seconds;
	}
	auto count = static_cast<double>(values.size());
	std::printf("format_number: %.2f ns per number over %zu numbers (format_number_portable: %.2f)\n",
	    fastest * 1e9 / count, values.size(), fastest_portable * 1e9 / count);
	return 0;
}

// One pass of format over values, the texts one after the other in a
// buffer the size of a long row's, each followed by a blank.
static double
seconds_per_pass(int (*format)(double, char *), const std::vector<double> &values)
{
	static char line[MAX_LINES * (NUMBER_TEXT_MAX + 1)];
	auto start = std::chrono::steady_clock::now();
	char *p = line;
	for (double value : values) {
		int len = format(value, p);
		p[len] = ' ';
		p += len + 1;
		if (p - line > static_cast<long>(sizeof line) - NUMBER_TEXT_ROOM)
			p = line;
	}
	std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
	// A text is read, so that no compiler leaves out their writing.
	static volatile char first_character;
	first_character = line[0];
	static_cast<void>(first_character);
	return took.count();
}
