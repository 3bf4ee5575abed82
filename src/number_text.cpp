// The "%.15g" text of a double.
//
// std::to_chars makes this text for any double, but with a precision it is
// slow, and a long run formats a quarter of a million numbers.  The table
// holds whole numbers only, so those take quicker paths: below 10^15 they
// print as integers, and from 10^15 on they are scaled by a power of ten to
// their 15-digit head, which is rounded and written in exponent form.
// Everything else goes to std::to_chars, and so does the rare number that
// lies too close to halfway between two heads for the scaling to tell which
// way it rounds.
//
// The quick paths are written for few instructions, which is what their
// time has followed in every change measured (bench/number-speed against
// callgrind's count): the choices that the table's numbers make at random
// (which power of ten, which way the head rounds, how many trailing zeros)
// are made without a branch, whatever can be worked out in advance comes
// from tables built at compile time, and the digits are looked up four at a
// time and written eight at a time.  Making the digits in SSE2's vector
// registers took more instructions than the look-ups, and more time.
//
// The scaling needs the high half of a 64-by-64-bit product: one
// instruction where the compiler has 128-bit integers, four 32-bit products
// elsewhere.  Both are compiled everywhere, so that the tests prove both
// against snprintf on any machine.
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
static constexpr uint64_t multiply_high_portable(uint64_t a, uint64_t b);
static int format_integer_or_by_library(double value, char *text);
static int format_by_library(double value, char *text);
[[gnu::always_inline]] static inline int write_head(uint64_t head, char *text);
static uint64_t eight_characters(const char *first_four, const char *last_four);
static int count_zeros_before(uint64_t characters);
static int count_zeros_after(uint64_t characters);
static uint64_t skip_characters(uint64_t characters, int count);

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

// The four-digit numbers "0000" to "9999", one after the other.
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

// '0' in every byte of a word.
static constexpr uint64_t ZERO_CHARACTERS = 0x3030303030303030;

// Whole numbers from 1 to below 10^15 print as integers: a group of up to
// seven digits and one of eight, or one group alone below 10^8, the first
// group's leading zeros skipped.  Everything else, 0, negative numbers,
// fractions, infinities and NaN among it, is the library's.
[[gnu::noinline]] static int
format_integer_or_by_library(double value, char *text)
{
	if (value >= 1 && value < 1e15) {
		auto integer = static_cast<uint64_t>(value);
		if (static_cast<double>(integer) == value) {
			bool two_groups = integer >= 100000000;
			auto first = static_cast<uint32_t>(two_groups ? integer / 100000000 : integer);
			uint64_t characters = eight_characters(&digit_quads[4 * std::size_t(first / 10000)],
			    &digit_quads[4 * std::size_t(first % 10000)]);
			// first is at least 1, so not every character is a zero.
			int leading_zeros = count_zeros_before(characters);
			characters = skip_characters(characters, leading_zeros);
			std::memcpy(text, &characters, sizeof characters);
			int len = 8 - leading_zeros;
			if (two_groups) {
				auto last = static_cast<uint32_t>(integer % 100000000);
				characters = eight_characters(&digit_quads[4 * std::size_t(last / 10000)],
				    &digit_quads[4 * std::size_t(last % 10000)]);
				std::memcpy(text + len, &characters, sizeof characters);
				len += 8;
			}
			return len;
		}
	}
	return format_by_library(value, text);
}

[[gnu::noinline]] static int
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

// The binary exponent fields of doubles from 10^15 up to the largest.
static constexpr int FIRST_EXPONENT_FIELD = 1072, LAST_EXPONENT_FIELD = 2046;

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

// One way to scale a double to its head: times mantissa, the high word of
// the product holding fraction_bits bits of fraction, half of which is
// half; the head then has the decimal exponent exponent.
struct Scaling {
	uint64_t mantissa;
	uint64_t half;
	short exponent;
	unsigned char fraction_bits;
};

// How format_number_with scales the doubles of one binary exponent field,
// which lie in [2^binary_exponent, 2^(binary_exponent + 1)) with
// binary_exponent = field - 1023.  scalings[0] multiplies by 10^-power,
// where power is the decimal exponent of 2^binary_exponent less 14, and
// scalings[1] by 10^-(power + 1), for the doubles whose product by 10^-power
// would have a 16-digit whole part.  That part grows with the significand,
// so those are the doubles whose significand is at least
// sixteen_digits_from; where none of the range has them, that is all ones,
// which no significand is: its low 11 bits are zero.
struct alignas(64) Scale {
	uint64_t sixteen_digits_from;
	Scaling scalings[2];
};

static constexpr std::array<Scale, LAST_EXPONENT_FIELD - FIRST_EXPONENT_FIELD + 1> scales = [] {
	constexpr auto negative_powers_of_ten = make_negative_powers_of_ten();
	std::array<Scale, LAST_EXPONENT_FIELD - FIRST_EXPONENT_FIELD + 1> table{};
	for (int field = FIRST_EXPONENT_FIELD; field <= LAST_EXPONENT_FIELD; field++) {
		// The significand is shifted to 64 bits, so the double is
		// (significand << 11) * 2^(field - 1086).  78913 / 2^18 gives
		// floor(n * log10(2)) exactly for n up to 1650.
		int binary_exponent = field - 1023;
		int power = ((binary_exponent * 78913) >> 18) - 14;
		auto scaling = [field, &negative_powers_of_ten](int k) {
			const NegativePowerOfTen &scale = negative_powers_of_ten[k];
			int fraction_bits = scale.shift - field + 1022;
			return Scaling{scale.mantissa, uint64_t(1) << (fraction_bits - 1),
			    static_cast<short>(k + 14), static_cast<unsigned char>(fraction_bits)};
		};
		Scale &entry = table[field - FIRST_EXPONENT_FIELD];
		entry.scalings[0] = scaling(power);
		entry.scalings[1] = scaling(power + 1);
		entry.sixteen_digits_from = first_significand_reaching(
		    negative_powers_of_ten[power].mantissa, entry.scalings[0].fraction_bits);
	}
	return table;
}();

// The exponents "e+00" to "e+309", eight characters apart, each followed
// by NULs that the next text overwrites and its length in the last byte.
// Doubles stay below 1.8e308; the table goes one further, so that it holds
// whatever exponent a head that rounds up to 10^15 is given.
static constexpr int MAX_EXPONENT = 309;
static constexpr std::array<char, 8 * std::size_t(MAX_EXPONENT + 1)> exponent_texts = [] {
	std::array<char, 8 * std::size_t(MAX_EXPONENT + 1)> texts{};
	for (std::size_t e = 0; e <= MAX_EXPONENT; e++) {
		char *text = &texts[8 * e];
		int len = 0;
		text[len++] = 'e';
		text[len++] = '+';
		if (e >= 100)
			text[len++] = static_cast<char>('0' + e / 100);
		text[len++] = static_cast<char>('0' + e / 10 % 10);
		text[len++] = static_cast<char>('0' + e % 10);
		text[7] = static_cast<char>(len);
	}
	return texts;
}();

// Every scaling leaves a fraction of a few bits at least, a whole part
// that fits, and a high word that cannot overflow when its half is added,
// and stays within the exponent texts.
static_assert([] {
	for (const Scale &scale : scales)
		for (const Scaling &scaling : scale.scalings)
			if (scaling.fraction_bits < 8 || scaling.fraction_bits > 20 ||
			    scaling.exponent + 1 > MAX_EXPONENT ||
			    multiply_high_portable(~uint64_t(0), scaling.mantissa) >
				~uint64_t(0) - scaling.half)
				return false;
	return true;
}());

// The bits of 10^15 and of infinity: between them, as unsigned numbers,
// lie the bits of exactly the doubles from 10^15 up to the largest.
static constexpr uint64_t BITS_OF_1E15 = 0x430c6bf526340000;
static constexpr uint64_t BITS_OF_INFINITY = 0x7ff0000000000000;

// The text of any double, with multiply_high for the scaling.  Numbers from
// 10^15 on, which are nearly all of the table's, are written here in
// "%.15g"'s exponent form, as in 8.80048022641748e+16; the rest are passed
// on, and so is the rare number so close to halfway between two 15-digit
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
format_number_with(double value, char *text)
{
	uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	if (bits - BITS_OF_1E15 >= BITS_OF_INFINITY - BITS_OF_1E15)
		return format_integer_or_by_library(value, text);
	std::size_t field = bits >> 52;
	assert(field >= FIRST_EXPONENT_FIELD && field <= LAST_EXPONENT_FIELD);
	const Scale &scale = scales[field - FIRST_EXPONENT_FIELD];
	uint64_t significand = bits << 11 | uint64_t(1) << 63;

	// The value's decimal exponent is that of the low end of its binary
	// range, or one more.  Which one it is cannot be foretold from one
	// number of the table to the next, so it is chosen without a branch.
	const Scaling &scaling = scale.scalings[significand >= scale.sixteen_digits_from];
	// The head rounded half up: the half added, the fraction dropped.  A
	// fraction within 3 units of one half is within 3 units of zero once
	// the half is added, below or above; that is the one test, so that
	// which way the head rounds, as good as random, needs no branch.
	uint64_t rounded = multiply_high(significand, scaling.mantissa) + scaling.half;
	if (((rounded + 3) & (2 * scaling.half - 1)) <= 6)
		return format_by_library(value, text);
	uint64_t head = rounded >> scaling.fraction_bits;
	int exponent = scaling.exponent;
	if (head == HEAD_LIMIT) {
		head /= 10;
		exponent++;
	}

	char *p = text + write_head(head, text);
	std::memcpy(p, &exponent_texts[8 * std::size_t(exponent)], 8);
	return static_cast<int>(p - text) + exponent_texts[8 * std::size_t(exponent) + 7];
}

// The first four characters of a head: its first three digits as d.dd, for
// the numbers from 100 to 999, at four times the number.
static constexpr std::array<char, 4000> head_quads = [] {
	std::array<char, 4000> quads{};
	for (std::size_t i = 100; i < 1000; i++) {
		quads[4 * i] = static_cast<char>('0' + i / 100);
		quads[4 * i + 1] = '.';
		quads[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
		quads[4 * i + 3] = static_cast<char>('0' + i % 10);
	}
	return quads;
}();

// The length of each four-digit group of digit_quads without its trailing
// zeros; 0 for "0000".
static constexpr std::array<unsigned char, 10000> quad_lengths = [] {
	std::array<unsigned char, 10000> lengths{};
	for (unsigned i = 1; i < 10000; i++) {
		unsigned char length = 4;
		for (unsigned rest = i; rest % 10 == 0; rest /= 10)
			length--;
		lengths[i] = length;
	}
	return lengths;
}();

// Writes the head, from 10^14 to below 10^15, as d.dddddddddddddd without
// trailing zeros, and without the point when no digit follows it, in 16
// characters of text; returns the length.  Its first seven digits and its
// last eight are each two look-ups.  The length comes from the last four
// digits alone, but for the one head in ten thousand where they are all
// zeros.
static int
write_head(uint64_t head, char *text)
{
	auto high = static_cast<uint32_t>(head / 100000000);
	auto low = static_cast<uint32_t>(head % 100000000);
	uint64_t first = eight_characters(&head_quads[4 * std::size_t(high / 10000)],
	    &digit_quads[4 * std::size_t(high % 10000)]);
	uint64_t last = eight_characters(&digit_quads[4 * std::size_t(low / 10000)],
	    &digit_quads[4 * std::size_t(low % 10000)]);
	std::memcpy(text, &first, sizeof first);
	std::memcpy(text + 8, &last, sizeof last);
	if (low % 10000 != 0)
		return 12 + quad_lengths[low % 10000];
	if (last != ZERO_CHARACTERS)
		return 16 - count_zeros_after(last);
	// The first eight end in a digit other than zero or in the point,
	// which goes too when no digit follows it.
	int len = 8 - count_zeros_after(first);
	return len - (len == 2);
}

// Two groups of four characters as one word of eight, in the order they lie
// in memory.
static uint64_t
eight_characters(const char *first_four, const char *last_four)
{
	char characters[8];
	std::memcpy(characters, first_four, 4);
	std::memcpy(characters + 4, last_four, 4);
	uint64_t word;
	std::memcpy(&word, characters, sizeof word);
	return word;
}

// Whether the first of a word's characters, as eight_characters makes it,
// is the word's highest byte: where the target stores the most significant
// byte first.  Elsewhere it is the lowest: on every other target this tool
// is built for, and with every compiler that does not say.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
static constexpr bool FIRST_CHARACTER_HIGHEST = true;
#else
static constexpr bool FIRST_CHARACTER_HIGHEST = false;
#endif

// The characters of a word that are zeros before its first other
// character, and those after its last; a word that is all zeros is not
// allowed.
static int
count_zeros_before(uint64_t characters)
{
	assert(characters != ZERO_CHARACTERS);
	uint64_t others = characters ^ ZERO_CHARACTERS;
	return (FIRST_CHARACTER_HIGHEST ? __builtin_clzll(others) : __builtin_ctzll(others)) / 8;
}

static int
count_zeros_after(uint64_t characters)
{
	assert(characters != ZERO_CHARACTERS);
	uint64_t others = characters ^ ZERO_CHARACTERS;
	return (FIRST_CHARACTER_HIGHEST ? __builtin_ctzll(others) : __builtin_clzll(others)) / 8;
}

// The word with its first count characters taken out, those after them
// moved up, and zero bytes after those; count is below 8.
static uint64_t
skip_characters(uint64_t characters, int count)
{
	return FIRST_CHARACTER_HIGHEST ? characters << 8 * count : characters >> 8 * count;
}
