// Times the number text over what the long run formats: each row of the
// 1000-row table as the display writes it, its first half formatted and
// copied to the mirror's side.  Prints the nanoseconds per number formatted,
// of the fastest of many passes, for format_numbers_mirrored and, in passes
// that alternate with its own, format_numbers_mirrored_portable, the path of
// targets without 128-bit integers.  Then format_number alone over the
// numbers of the rows' first halves and their middles, against
// std::to_chars with the same precision on the same numbers, in passes
// that alternate: the ratio of their times depends on neither the
// machine's page faults nor its speed.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <vector>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

using Format = char *(*)(const double *, const double *, int, char *, char *, char **);

static double seconds_per_pass(Format format);
template <typename Write>
static double seconds_per_number_pass(const std::vector<double> &numbers, Write write);

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

	std::vector<double> halves;
	for (int i = 0; i < glines; i++)
		for (int j = 0; j <= i / 2; j++)
			halves.push_back(garray[i][j]);
	double ours = 1, library = 1;
	for (int pass = 0; pass < 30; pass++) {
		double seconds = seconds_per_number_pass(halves, format_number);
		if (seconds < ours)
			ours = seconds;
		seconds = seconds_per_number_pass(halves, [](double value, char *text) {
			return int(std::to_chars(text, text + NUMBER_TEXT_MAX, value,
			    std::chars_format::general, 15).ptr - text);
		});
		if (seconds < library)
			library = seconds;
	}
	const double count = double(halves.size());
	std::printf("format_number: %.2f ns per number over %zu numbers, std::to_chars: %.2f ns, "
	    "ratio %.3f\n", ours * 1e9 / count, halves.size(), library * 1e9 / count, ours / library);
	return 0;
}

// One pass of write over numbers, each text written at the same place.
template <typename Write>
static double
seconds_per_number_pass(const std::vector<double> &numbers, Write write)
{
	static char text[NUMBER_TEXT_ROOM];
	int length = 0;
	auto start = std::chrono::steady_clock::now();
	for (double value : numbers)
		length += write(value, text);
	std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
	// The lengths are read, so that no compiler leaves out the writing.
	static volatile int lengths;
	lengths = length;
	static_cast<void>(lengths);
	return took.count();
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
