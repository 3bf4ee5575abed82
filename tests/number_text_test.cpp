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
// end in zeros, down to one digit and no point, exact and near halfway cases between two 15-digit heads at every
// exponent, powers of ten and sixteen neighbours on each side, heads that
// round up to the next power, and random bit patterns, which bring
// fractions, negative and tiny numbers, infinities and NaNs.
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
	for (int i = 0; i < 50000; i++) {
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

// Every value of the table and every awkward double, through each path,
// which writes nothing beyond the room it is given.
TEST(NumberText, BothPathsMatchPrintf)
{
	build_full_table();
	std::vector<double> values = awkward_doubles();
	for (int i = 0; i < MAX_LINES; i++)
		values.insert(values.end(), garray[i], garray[i] + i + 1);

	const struct {
		const char *name;
		int (*format)(double, char *);
	} paths[] = {{"format_number", format_number},
	    {"format_number_portable", format_number_portable}};
	for (const auto &path : paths) {
		int mismatches = 0;
		for (double value : values) {
			char text[NUMBER_TEXT_ROOM + 8];
			std::memset(text, '#', sizeof text);
			int len = path.format(value, text);
			ASSERT_GT(len, 0);
			ASSERT_LE(len, NUMBER_TEXT_MAX);
			ASSERT_EQ(std::string(text + NUMBER_TEXT_ROOM, 8), "########")
			    << path.name << " wrote beyond its room for " << printf_text(value);
			std::string expected = printf_text(value);
			// Whether a NaN shows its sign is the C library's choice:
			// glibc writes -nan, mingw-w64 nan.  The tool shows it.
			if (std::isnan(value) && std::signbit(value))
				expected = "-nan";
			if (std::string(text, len) != expected && mismatches++ < 10)
				ADD_FAILURE() << path.name << ": " << std::string(text, len)
				    << ", printf " << expected;
		}
		EXPECT_EQ(mismatches, 0) << path.name;
	}
}
