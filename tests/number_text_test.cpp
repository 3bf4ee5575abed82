// The "%.15g" text of doubles, by both paths of the conversion, against the
// C library's snprintf.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "number_text.h"
#include "test_support.h"
#include "triangle.h"

// Doubles whose "%.15g" text is easy to get wrong: whole numbers of every
// length, with zeros inside and at the end, heads of the exponent form that
// end in zeros, down to one digit and no point, exact and near halfway
// cases between two 15-digit heads at every exponent, powers of ten and
// sixteen neighbours on each side, heads that round up to the next power;
// then, six in each random round, ties and near ties of 16 and 17 digits,
// random magnitudes and whole numbers, and random bit patterns, which bring
// fractions, negative and tiny numbers, infinities and NaNs.  The build
// sets the rounds: fewer under an emulator, where printf is slow.
static std::vector<double>
awkward_doubles()
{
	std::mt19937_64 random(20261207);
	std::vector<double> values = {0.0, -0.0, 1.0, 1e15 - 1, 1e15, 1e15 + 1,
	    9007199254740992.0, 18446744073709551616.0, DBL_MAX, DBL_MIN,
	    -DBL_MAX, -DBL_MIN, 4.9e-324, HUGE_VAL, -HUGE_VAL, std::nan(""),
	    999999999999999.5, 9999999999999995.0};
	// The exponent form changes its scale at a power of ten or a few units
	// above it, where its truncated product first has a 16-digit whole part.
	for (int k = 0; k <= 308; k++) {
		double power = std::pow(10.0, k), below = power, above = power;
		values.push_back(power);
		for (int step = 0; step < 16; step++) {
			values.push_back(below = std::nextafter(below, 0.0));
			values.push_back(above = std::nextafter(above, HUGE_VAL));
		}
		values.push_back(power * 0.9999999999999995);
		values.push_back(power * 0.9999999999999994);
	}
	for (int digits = 1; digits <= 16; digits++) {
		uint64_t power = 1;  // 10^(digits - 1)
		for (int i = 1; i < digits; i++)
			power *= 10;
		uint64_t number = power + random() % (9 * power);
		for (uint64_t zeros = 1; zeros <= power; zeros *= 10) {
			uint64_t rounded_down = number - number % zeros;
			values.push_back(double(rounded_down));
			values.push_back(double(power + number % zeros));
		}
		values.push_back(double(power * 10 - 1));
	}
	for (int exponent = 15; exponent <= 308; exponent++)
		for (int kept = 1; kept <= 15; kept++) {
			std::string head = std::to_string(100000000000000 +
			    random() % 900000000000000).substr(0, kept);
			std::string text = head + "e" + std::to_string(exponent - kept + 1);
			values.push_back(std::strtod(text.c_str(), nullptr));
		}
	// The doubles nearest to halfway between two 15-digit heads, and two
	// neighbours on each side, at every exponent of the exponent form.
	for (int exponent = 15; exponent <= 308; exponent++)
		for (int i = 0; i < 20; i++) {
			std::string halfway = std::to_string(100000000000000 +
			    random() % 900000000000000) + "5e" + std::to_string(exponent - 15);
			double below = std::strtod(halfway.c_str(), nullptr), above = below;
			values.push_back(below);
			for (int step = 0; step < 2; step++) {
				values.push_back(below = std::nextafter(below, 0.0));
				values.push_back(above = std::nextafter(above, HUGE_VAL));
			}
		}
	for (int i = 0; i < QUOBI_PASCAL_RANDOM_DOUBLE_ROUNDS; i++) {
		uint64_t head = 100000000000000 + random() % 800000000000000;
		values.push_back(double(head * 10 + 5));        // exact ties
		values.push_back(double(head * 100 + 50));
		values.push_back(double(head * 10 + 4 + i % 3));
		values.push_back(std::ldexp(double(random() >> 11), int(random() % 980)));
		values.push_back(double(random() % 1000000000000000));
		uint64_t bits = random();
		double any;
		std::memcpy(&any, &bits, sizeof any);
		values.push_back(any);
	}
	return values;
}

// Every value of the table and every awkward double.  A row's right half
// repeats its left half, so the left half holds every value of the row.
static std::vector<double>
test_values()
{
	build_full_table();
	std::vector<double> values = awkward_doubles();
	for (int i = 0; i < MAX_LINES; i++)
		values.insert(values.end(), garray[i], garray[i] + i / 2 + 1);
	return values;
}

// The text that the tool writes of each value: printf's, but that a NaN
// shows its sign, which is the C library's choice: glibc writes -nan,
// mingw-w64 nan.  Made once for every path, since printf is the slow part
// of these tests, under an emulator above all.
static std::vector<std::string>
expected_texts(const std::vector<double> &values)
{
	std::vector<std::string> texts;
	texts.reserve(values.size());
	for (double value : values)
		texts.push_back(std::isnan(value) && std::signbit(value) ? "-nan" : printf_text(value));
	return texts;
}

// Every test value through each path, which writes nothing beyond the room
// it is given.
TEST(NumberText, BothPathsMatchPrintf)
{
	const std::vector<double> values = test_values();
	const std::vector<std::string> expected = expected_texts(values);
	const struct {
		const char *name;
		int (*format)(double, char *);
	} paths[] = {{"format_number", format_number},
	    {"format_number_portable", format_number_portable}};
	for (const auto &path : paths) {
		int mismatches = 0;
		for (std::size_t i = 0; i < values.size(); i++) {
			char text[NUMBER_TEXT_ROOM + 8];
			std::memset(text, '#', sizeof text);
			int len = path.format(values[i], text);
			ASSERT_GT(len, 0);
			ASSERT_LE(len, NUMBER_TEXT_MAX);
			ASSERT_EQ(std::string(text + NUMBER_TEXT_ROOM, 8), "########")
			    << path.name << " wrote beyond its room for " << expected[i];
			if (std::string(text, len) != expected[i] && mismatches++ < 10)
				ADD_FAILURE() << path.name << ": " << std::string(text, len)
				    << ", printf " << expected[i];
		}
		EXPECT_EQ(mismatches, 0) << path.name;
	}
}

// Every test value through each path of a row's two halves, in runs of 1 to
// 40 numbers, so that the quick pairs and the others meet in every order.
// The mirror holds the same doubles, but for every seventh, which holds the
// next test value; nothing is written outside the two halves' room.
TEST(NumberText, BothMirroredPathsMatchPrintf)
{
	const std::vector<double> values = test_values();
	const std::vector<std::string> expected = expected_texts(values);
	const struct {
		const char *name;
		char *(*format)(const double *, const double *, int, char *, char *, char **);
	} paths[] = {{"format_numbers_mirrored", format_numbers_mirrored},
	    {"format_numbers_mirrored_portable", format_numbers_mirrored_portable}};
	for (const auto &path : paths) {
		int mismatches = 0;
		std::size_t count = 1;
		for (std::size_t first = 0; first + 40 < values.size(); first += count) {
			count = first % 40 + 1;
			std::vector<double> mirror(count);
			std::string forward, backward;
			for (std::size_t i = 0; i < count; i++) {
				std::size_t source = first + i + (i % 7 == 6);
				mirror[count - 1 - i] = values[source];
				forward += expected[first + i] + ' ';
				backward.insert(0, expected[source] + ' ');
			}
			std::string text(40 * (NUMBER_TEXT_MAX + 1) + NUMBER_TEXT_ROOM, '#');
			std::string mirror_text(40 * (NUMBER_TEXT_MAX + 1) + 2, '#');
			char *mirror_end = &mirror_text[mirror_text.size() - 1], *mirror_start = nullptr;
			char *end = path.format(&values[first], &mirror[count - 1], int(count), &text[0],
			    mirror_end, &mirror_start);
			std::string written(&text[0], end), mirrored(mirror_start - 1, mirror_end + 1);
			std::size_t last = written.size() - expected[first + count - 1].size() - 1;
			if ((written != forward || mirrored != '#' + backward + '#' ||
			    text[last + NUMBER_TEXT_ROOM] != '#') && mismatches++ < 10)
				ADD_FAILURE() << path.name << ":\n" << written << "\n" << mirrored
				    << "\nprintf:\n" << forward << "\n" << backward;
		}
		EXPECT_EQ(mismatches, 0) << path.name;
	}
}
