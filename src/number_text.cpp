// The "%.15g" text of a double.  std::to_chars makes it for any double, but
// at several hundred instructions a number it was most of the cost of a long
// run, and the triangle holds whole numbers only.  Those below 1e15 print as
// integers; larger ones, where the compiler offers 128-bit integers, are
// scaled to their 15-digit head with a table of powers of ten.  Everything
// else, and the rare value that the scaling cannot round with certainty,
// goes to std::to_chars.
#include "number_text.h"

#include <cassert>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstring>

#if defined(__SIZEOF_INT128__)
#include <array>
#define HAVE_INT128 1
#else
#define HAVE_INT128 0
#endif

static int format_by_library(double value, char *text);
#if HAVE_INT128
static int format_exponent_form(double value, char *text);
static void write_digit_pair(char *text, unsigned value);
#endif

int
format_number(double value, char *text)
{
#if HAVE_INT128
	if (value >= 1e15 && value <= DBL_MAX) {
		int len = format_exponent_form(value, text);
		return len > 0 ? len : format_by_library(value, text);
	}
#endif
	return format_number_portable(value, text);
}

int
format_number_portable(double value, char *text)
{
	if (value >= 1 && value < 1e15) {
		auto integer = static_cast<std::uint64_t>(value);
		if (static_cast<double>(integer) == value)
			return static_cast<int>(
			    std::to_chars(text, text + NUMBER_TEXT_MAX, integer).ptr - text);
	}
	return format_by_library(value, text);
}

static int
format_by_library(double value, char *text)
{
	auto [end, error] = std::to_chars(text, text + NUMBER_TEXT_MAX, value,
	    std::chars_format::general, 15);
	assert(error == std::errc());
	return static_cast<int>(end - text);
}

#if HAVE_INT128

__extension__ typedef unsigned __int128 uint128_t;

// 10^-k as a binary fraction: mantissa / 2^shift, the mantissa normalized
// to 128 bits and rounded down.
struct NegativePowerOfTen {
	uint128_t mantissa;
	int shift;
};

// Numbers up to the largest double, below 1.8e308, keep 15 digits when
// scaled by 10^-294.
static constexpr int MAX_SCALE = 294;

// Builds the table of 10^-k for k from 0 to MAX_SCALE by dividing by ten
// again and again, each time keeping the top 128 bits.
static constexpr std::array<NegativePowerOfTen, MAX_SCALE + 1>
make_negative_powers_of_ten()
{
	std::array<NegativePowerOfTen, MAX_SCALE + 1> powers{};
	uint128_t mantissa = uint128_t(1) << 127;
	int shift = 127;

	for (NegativePowerOfTen &power : powers) {
		power = {mantissa, shift};
		// mantissa * 2^step / 10, rounded down, with step 3 or 4 so
		// that the quotient keeps its top bit at bit 127.
		uint128_t quotient = mantissa / 10, remainder = mantissa % 10;
		int step = quotient >> 124 ? 3 : 4;
		mantissa = (quotient << step) + (remainder << step) / 10;
		shift += step;
	}
	return powers;
}

static constexpr auto negative_powers_of_ten = make_negative_powers_of_ten();

// The two-digit numbers "00" to "99", one after the other.
static constexpr std::array<char, 200> digit_pairs = [] {
	std::array<char, 200> pairs{};
	for (std::size_t i = 0; i < 100; i++) {
		pairs[2 * i] = static_cast<char>('0' + i / 10);
		pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
	}
	return pairs;
}();

// Formats a finite value of at least 1e15 in "%.15g"'s exponent form, as in
// 8.80048022641748e+16, and returns the length of the text.  Returns 0 for
// the rare value so close to halfway between two 15-digit heads that the
// 128-bit scaling below cannot tell which way it rounds.
static int
format_exponent_form(double value, char *text)
{
	static constexpr std::uint64_t head_limit = 1000000000000000;  // 10^15

	// value = significand * 2^binary_exponent, significand in [2^52, 2^53).
	std::uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	std::uint64_t significand = (bits & ((std::uint64_t(1) << 52) - 1)) |
	    (std::uint64_t(1) << 52);
	int binary_exponent = static_cast<int>(bits >> 52) - 1075;

	// The decimal exponent is floor((binary_exponent + 52) * log10(2)) or
	// one more; 78913 / 2^18 is log10(2) to well within that range.
	int exponent = ((binary_exponent + 52) * 78913) >> 18;
	std::uint64_t head;
	uint128_t fraction, half;
	for (;; exponent++) {
		// scaled / 2^fraction_bits is value / 10^(exponent - 14), short
		// of it by less than 2 units of the last bit: the power is
		// rounded down by less than 300 * 2^-127 relatively, and the
		// low half of the product is dropped.
		assert(exponent - 14 <= MAX_SCALE);
		const NegativePowerOfTen &power = negative_powers_of_ten[exponent - 14];
		uint128_t low = uint128_t(significand) *
		    static_cast<std::uint64_t>(power.mantissa);
		uint128_t high = uint128_t(significand) *
		    static_cast<std::uint64_t>(power.mantissa >> 64);
		uint128_t scaled = high + (low >> 64);
		int fraction_bits = power.shift - binary_exponent - 64;
		assert(fraction_bits > 1 && fraction_bits < 128);

		head = static_cast<std::uint64_t>(scaled >> fraction_bits);
		fraction = scaled & ((uint128_t(1) << fraction_bits) - 1);
		half = uint128_t(1) << (fraction_bits - 1);
		if (head < head_limit)
			break;
	}
	if (fraction >= half - 2 && fraction <= half + 2)
		return 0;
	if (fraction > half && ++head == head_limit) {
		head /= 10;
		exponent++;
	}

	// The head as d.dddddddddddddd, its last 14 digits in seven pairs;
	// then trailing zeros dropped, and the point if no digit follows it.
	std::uint64_t tail = head % 100000000000000;
	auto high = static_cast<std::uint32_t>(tail / 100000000);
	auto low = static_cast<std::uint32_t>(tail % 100000000);
	text[0] = static_cast<char>('0' + head / 100000000000000);
	text[1] = '.';
	write_digit_pair(text + 2, high / 10000);
	write_digit_pair(text + 4, high / 100 % 100);
	write_digit_pair(text + 6, high % 100);
	write_digit_pair(text + 8, low / 1000000);
	write_digit_pair(text + 10, low / 10000 % 100);
	write_digit_pair(text + 12, low / 100 % 100);
	write_digit_pair(text + 14, low % 100);
	char *p = text + 15;
	while (*p == '0')
		p--;
	if (*p != '.')
		p++;

	// The exponent, which has at least two digits.
	*p++ = 'e';
	*p++ = '+';
	if (exponent >= 100)
		*p++ = static_cast<char>('0' + exponent / 100);
	write_digit_pair(p, exponent % 100);
	p += 2;
	return static_cast<int>(p - text);
}

// Writes value, below 100, as two digits.
static void
write_digit_pair(char *text, unsigned value)
{
	std::memcpy(text, &digit_pairs[2 * std::size_t(value)], 2);
}

#endif
