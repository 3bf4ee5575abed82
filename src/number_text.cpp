// The "%.15g" text of a double.
//
// std::to_chars makes this text for any double, but with a precision it is
// slow, and a long run formats a quarter of a million numbers.  The table
// holds whole numbers only, so those take quicker paths: below 10^15 they
// print as integers, and from 10^15 on they are scaled by a power of ten to
// their 15-digit head, which is rounded and written in exponent form.
// Everything else goes to std::to_chars, and so does the rare number that
// lies too close to halfway between two heads for the scaling to tell which
// way it rounds.  The scaling needs the high half of a 64-by-64-bit product:
// one instruction where the compiler has 128-bit integers, four 32-bit
// products elsewhere.  Both paths are compiled everywhere, so that the tests
// prove both against snprintf on any machine.
#include "number_text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

using std::uint32_t;
using std::uint64_t;

using MultiplyHigh = uint64_t (*)(uint64_t, uint64_t);

template <MultiplyHigh multiply_high>
static int format_number_with(double value, char *text);
template <MultiplyHigh multiply_high>
static int format_exponent_form(uint64_t bits, char *text);
static constexpr uint64_t multiply_high_portable(uint64_t a, uint64_t b);
static int format_integer_or_by_library(double value, char *text);
static int format_by_library(double value, char *text);
static void write_8_digits(char *text, uint32_t value);

#if defined(__SIZEOF_INT128__)
// The high half of a * b, by the compiler's 128-bit product.
static uint64_t
multiply_high_native(uint64_t a, uint64_t b)
{
	__extension__ typedef unsigned __int128 uint128_t;
	return static_cast<uint64_t>(uint128_t(a) * b >> 64);
}
#endif

int
format_number(double value, char *text)
{
#if defined(__SIZEOF_INT128__)
	return format_number_with<multiply_high_native>(value, text);
#else
	return format_number_with<multiply_high_portable>(value, text);
#endif
}

int
format_number_portable(double value, char *text)
{
	return format_number_with<multiply_high_portable>(value, text);
}

// Whole numbers from 1 to below 10^15 print as integers.  Everything else, 0,
// negative numbers, fractions, infinities and NaN among it, and the rare
// number that format_exponent_form refuses, is the library's.
[[gnu::noinline]] static int
format_integer_or_by_library(double value, char *text)
{
	if (value >= 1 && value < 1e15) {
		auto integer = static_cast<uint64_t>(value);
		if (static_cast<double>(integer) == value)
			return static_cast<int>(
			    std::to_chars(text, text + NUMBER_TEXT_MAX, integer).ptr - text);
	}
	return format_by_library(value, text);
}

static int
format_by_library(double value, char *text)
{
	// A NaN prints as nan, with the minus sign of a negative one, as
	// glibc's printf writes it.  std::to_chars may add the NaN's payload:
	// libc++ writes a signalling NaN as nan(snan).
	if (std::isnan(value)) {
		const std::string_view nan = std::signbit(value) ? "-nan" : "nan";
		std::copy(nan.begin(), nan.end(), text);
		return static_cast<int>(nan.size());
	}
	auto [end, error] = std::to_chars(text, text + NUMBER_TEXT_MAX, value,
	    std::chars_format::general, 15);
	assert(error == std::errc());
	return static_cast<int>(end - text);
}

// The high half of a * b, from four products of 32-bit halves.
static constexpr uint64_t
multiply_high_portable(uint64_t a, uint64_t b)
{
	uint64_t a_low = a & 0xffffffff, a_high = a >> 32;
	uint64_t b_low = b & 0xffffffff, b_high = b >> 32;
	uint64_t low_low = a_low * b_low, high_low = a_high * b_low;
	uint64_t low_high = a_low * b_high, high_high = a_high * b_high;
	uint64_t middle = (low_low >> 32) + (high_low & 0xffffffff) + low_high;
	return high_high + (high_low >> 32) + (middle >> 32);
}

// 10^-k as a binary fraction, mantissa / 2^shift, the mantissa normalized to
// 64 bits and rounded down.
struct NegativePowerOfTen {
	uint64_t mantissa;
	// Read only while the scales below are built at compile time.
	// cppcheck-suppress unusedStructMember
	int shift;
};

// Numbers up to the largest double, below 1.8e308, keep 15 digits when
// scaled by 10^-294.
static constexpr int MAX_SCALE = 294;

// Builds the table of 10^-k for k from 0 to MAX_SCALE by dividing by ten
// again and again in 128 bits (two words), so that the error of all those
// roundings stays far below the last of the 64 bits kept, which are the
// top 64 bits and so rounded down.
static constexpr std::array<NegativePowerOfTen, MAX_SCALE + 1>
make_negative_powers_of_ten()
{
	std::array<NegativePowerOfTen, MAX_SCALE + 1> powers{};
	uint64_t high = uint64_t(1) << 63, low = 0;
	int shift = 63;

	for (NegativePowerOfTen &power : powers) {
		power = {high, shift};
		// (high, low) / 10, 32 bits at a time.
		uint64_t quotient_high = high / 10, remainder = high % 10;
		uint64_t part = remainder << 32 | low >> 32;
		uint64_t quotient_low = part / 10 << 32;
		part = (part % 10) << 32 | (low & 0xffffffff);
		quotient_low |= part / 10;
		remainder = part % 10;
		// Back to the top bit at 127: times 2^step with step 3 or 4,
		// the remainder's share included.
		int step = quotient_high >> 60 ? 3 : 4;
		high = quotient_high << step | quotient_low >> (64 - step);
		low = (quotient_low << step) + (remainder << step) / 10;
		shift += step;
	}
	return powers;
}

static constexpr auto negative_powers_of_ten = make_negative_powers_of_ten();

// The four-digit numbers "0000" to "9999", one after the other: eight digits
// take two look-ups.
static constexpr std::array<char, 40000> digit_quads = [] {
	std::array<char, 40000> quads{};
	for (std::size_t i = 0; i < 10000; i++) {
		quads[4 * i] = static_cast<char>('0' + i / 1000);
		quads[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
		quads[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
		quads[4 * i + 3] = static_cast<char>('0' + i % 10);
	}
	return quads;
}();

// The exponents "e+00" to "e+308", five characters apart, the shorter ones
// followed by a NUL that the next text overwrites.
static constexpr int MAX_EXPONENT = 308;
static constexpr std::size_t EXPONENT_TEXTS_SIZE = 5 * std::size_t(MAX_EXPONENT + 1);
static constexpr std::array<char, EXPONENT_TEXTS_SIZE> exponent_texts = [] {
	std::array<char, EXPONENT_TEXTS_SIZE> texts{};
	for (std::size_t e = 0; e <= MAX_EXPONENT; e++) {
		char *text = &texts[5 * e];
		*text++ = 'e';
		*text++ = '+';
		if (e >= 100)
			*text++ = static_cast<char>('0' + e / 100);
		*text++ = static_cast<char>('0' + e / 10 % 10);
		*text = static_cast<char>('0' + e % 10);
	}
	return texts;
}();

// The binary exponent fields of doubles from 10^15 up to the largest.
static constexpr int FIRST_EXPONENT_FIELD = 1072, LAST_EXPONENT_FIELD = 2046;

// How format_exponent_form scales the doubles of one binary exponent, which
// lie in [2^binary_exponent, 2^(binary_exponent + 1)) with binary_exponent =
// field - 1023: by 10^-power, which leaves fraction_bits[0] bits of fraction
// in the product's high word, or, when that leaves a 16-digit whole part, by
// 10^-(power + 1), which leaves fraction_bits[1].  power is the decimal
// exponent of 2^binary_exponent less 14.  The whole part grows with the
// significand, so a 16-digit one is the same as a significand of at least
// sixteen_digits_from.  Where no significand of the range reaches 16 digits,
// that is all ones, which no significand is: its low 11 bits are zero.
struct Scale {
	uint64_t sixteen_digits_from;
	short power;
	unsigned char fraction_bits[2];
};

static constexpr uint64_t HEAD_LIMIT = 1000000000000000;  // 10^15

// The smallest 64-bit significand whose product with mantissa has a whole
// part, above fraction_bits, of at least 10^15; all ones if there is none.
static constexpr uint64_t
first_significand_reaching(uint64_t mantissa, int fraction_bits)
{
	auto reaches = [&](uint64_t significand) {
		return multiply_high_portable(significand, mantissa) >> fraction_bits >= HEAD_LIMIT;
	};
	uint64_t low = uint64_t(1) << 63, high = ~uint64_t(0);
	if (!reaches(high))
		return high;
	while (low < high) {  // the answer lies in [low, high]
		uint64_t middle = low + (high - low) / 2;
		if (reaches(middle))
			high = middle;
		else
			low = middle + 1;
	}
	return low;
}

static constexpr std::array<Scale, LAST_EXPONENT_FIELD - FIRST_EXPONENT_FIELD + 1> scales = [] {
	std::array<Scale, LAST_EXPONENT_FIELD - FIRST_EXPONENT_FIELD + 1> table{};
	for (int field = FIRST_EXPONENT_FIELD; field <= LAST_EXPONENT_FIELD; field++) {
		// The significand is shifted to 64 bits, so the double is
		// (significand << 11) * 2^(field - 1086).  78913 / 2^18 gives
		// floor(n * log10(2)) exactly for n up to 1650.
		int binary_exponent = field - 1023;
		int power = ((binary_exponent * 78913) >> 18) - 14;
		auto fraction_bits = [field](int k) {
			return static_cast<unsigned char>(negative_powers_of_ten[k].shift - field + 1022);
		};
		table[field - FIRST_EXPONENT_FIELD] = {
		    first_significand_reaching(negative_powers_of_ten[power].mantissa, fraction_bits(power)),
		    static_cast<short>(power), {fraction_bits(power), fraction_bits(power + 1)}};
	}
	return table;
}();

// Every scale leaves a fraction of a few bits at least and a whole part that
// fits, and stays within the tables.
static_assert([] {
	for (const Scale &scale : scales)
		if (scale.power < 0 || scale.power + 1 > MAX_SCALE ||
		    scale.power + 15 > MAX_EXPONENT || scale.fraction_bits[0] < 8 ||
		    scale.fraction_bits[0] > 20 || scale.fraction_bits[1] < 8 ||
		    scale.fraction_bits[1] > 20)
			return false;
	return true;
}());

// The text of any double, with multiply_high for the scaling.  Numbers from
// 10^15 on, which are nearly all of the table's, take the exponent form's
// path inline, so that it needs no call of its own; the rest are passed on.  A negative number's sign bit takes its exponent field
// past the last, and infinity's field is the last plus one.
template <MultiplyHigh multiply_high>
static int
format_number_with(double value, char *text)
{
	uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	std::size_t field = bits >> 52;
	if (field >= FIRST_EXPONENT_FIELD && field <= LAST_EXPONENT_FIELD && value >= 1e15) {
		int len = format_exponent_form<multiply_high>(bits, text);
		if (len > 0)
			return len;
	}
	return format_integer_or_by_library(value, text);
}

// Formats a finite value of at least 1e15, given by its bits, in "%.15g"'s
// exponent form, as in 8.80048022641748e+16, and returns the length of the
// text.  Returns 0 for the value so close to halfway between two 15-digit
// heads that the scaling below cannot tell which way it rounds.
//
// Scaled by 10^-k, with k chosen so that its whole part has 15 digits, the
// value is the head and a fraction.  The significand, shifted to 64 bits,
// times the 64-bit mantissa of 10^-k gives the scaled value with
// fraction_bits bits of fraction in the product's high word, which is short
// of the exact value by less than 3 units of its last bit: less than 2 for
// the mantissa, rounded down by less than one unit (the table's own error is
// far smaller), and less than 1 for the low word dropped.  So when the
// fraction is more than 3 units away from one half, the head rounds the
// same way as the exact value.
template <MultiplyHigh multiply_high>
static int
format_exponent_form(uint64_t bits, char *text)
{
	std::size_t field = bits >> 52;
	assert(field >= FIRST_EXPONENT_FIELD && field <= LAST_EXPONENT_FIELD);
	const Scale &scale = scales[field - FIRST_EXPONENT_FIELD];
	uint64_t significand = bits << 11 | uint64_t(1) << 63;

	// The value's decimal exponent is that of the low end of its binary
	// range, or one more, when the product by 10^-power would have a
	// 16-digit whole part.  Which one it is cannot be foretold from one
	// number of the table to the next, so it is chosen without a branch.
	const int sixteen_digits = significand >= scale.sixteen_digits_from;
	const int power = scale.power + sixteen_digits;
	int exponent = power + 14;
	const int fraction_bits = scale.fraction_bits[sixteen_digits];
	uint64_t scaled = multiply_high(significand, negative_powers_of_ten[power].mantissa);
	uint64_t head = scaled >> fraction_bits;
	uint64_t fraction = scaled & ((uint64_t(1) << fraction_bits) - 1);
	uint64_t half = uint64_t(1) << (fraction_bits - 1);
	// Which way a head rounds is as good as random, so both tests are
	// written without a branch on it: one comparison, true only within
	// the window, and an addition of the comparison's result.
	if (fraction - (half - 3) <= 6)
		return 0;
	head += fraction > half;
	if (head == HEAD_LIMIT) {
		head /= 10;
		exponent++;
	}

	// The head as d.dddddddddddddd: its first seven digits written as
	// eight with a leading zero, where the first digit and the point then
	// go; the last eight after them.  Then trailing zeros are dropped, and
	// the point when no digit follows it.
	write_8_digits(text, static_cast<uint32_t>(head / 100000000));
	write_8_digits(text + 8, static_cast<uint32_t>(head % 100000000));
	text[0] = text[1];
	text[1] = '.';
	char *p = text + 15;
	while (*p == '0')
		p--;
	if (*p != '.')
		p++;

	// The exponent, which has at least two digits.
	std::memcpy(p, &exponent_texts[5 * static_cast<std::size_t>(exponent)], 5);
	return static_cast<int>(p - text) + (exponent >= 100 ? 5 : 4);
}

// Writes value, below 10^8, as exactly eight digits.
static void
write_8_digits(char *text, uint32_t value)
{
	std::memcpy(text, &digit_quads[4 * std::size_t(value / 10000)], 4);
	std::memcpy(text + 4, &digit_quads[4 * std::size_t(value % 10000)], 4);
}
