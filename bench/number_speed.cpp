// Times the number text over what the long run formats: each row of the
// 1000-row table as the display writes it, its first half formatted and
// copied to the mirror's side.  Prints the nanoseconds per number formatted,
// of the fastest of many passes, for format_numbers_mirrored and, in passes
// that alternate with its own, format_numbers_mirrored_portable, the path of
// targets without 128-bit integers.
#include <chrono>
#include <cstdio>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

using Format = char *(*)(const double *, const double *, int, char *, char *, char **);

static double seconds_per_pass(Format format);

// One row's two halves, as the display has them.
static char first_half[(MAX_LINES / 2 + 1) * (NUMBER_TEXT_MAX + 1) + NUMBER_TEXT_ROOM];
static char second_half[MAX_LINES / 2 * (NUMBER_TEXT_MAX + 1) + 1];

int
main()
{
	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	long numbers = 0;
	for (int i = 0; i < glines; i++)
		numbers += (i + 1) / 2;

	double fastest = 1, fastest_portable = 1;
	for (int pass = 0; pass < 100; pass++) {
		double seconds = seconds_per_pass(format_numbers_mirrored);
		if (seconds < fastest)
			fastest = seconds;
		seconds = seconds_per_pass(format_numbers_mirrored_portable);
		if (seconds < fastest_portable)
			fastest_portable = seconds;
	}
	std::printf("format_numbers_mirrored: %.2f ns per number over %ld numbers "
	    "(format_numbers_mirrored_portable: %.2f)\n",
	    fastest * 1e9 / double(numbers), numbers, fastest_portable * 1e9 / double(numbers));
	return 0;
}

// One pass of format over the first halves of all rows.
static double
seconds_per_pass(Format format)
{
	auto start = std::chrono::steady_clock::now();
	char *mirror_start = second_half;
	for (int i = 0; i < glines; i++)
		format(garray[i], garray[i] + i, (i + 1) / 2, first_half, second_half + sizeof second_half,
		    &mirror_start);
	std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
	// A text is read, so that no compiler leaves out their writing.
	static volatile char first_character;
	first_character = *mirror_start;
	static_cast<void>(first_character);
	return took.count();
}
