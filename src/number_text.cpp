// The "%.15g" text of a double.
//
// std::to_chars makes this text for any double, but with a precision it is
// slow, and a long run formats a quarter of a million numbers.  The table
// holds whole numbers only, so those take quicker paths: below 10^15 they
// print as integers, and from 10^15 on they are scaled by a power of ten to
// a binary fraction from 0.1 to below 1, whose first 15 decimal digits,
// rounded, are the digits of the exponent form.  Everything else goes to
// std::to_chars, and so does the rare number that lies too close to halfway
// between two 15-digit heads for the scaling to tell which way it rounds.
//
// The quick paths are written for few instructions: the digits come four
// at a time, each group the high word of the fraction's product by 10^4,
// whose low word is the fraction left, and its characters from a table;
// what can be worked out in advance comes from tables built at compile
// time; and a row's second half, the mirror image of its first, takes
// copies of the first half's texts.  Two ways with fewer instructions took
// more time and were left out: digits made in SSE2's vector registers, and
// the table look-ups of four numbers at a time as AVX2's gathers
// (doc/performance.md has the measurements).
//
// Each product needs the high word of a 64-by-64-bit product: one
// instruction where the compiler has 128-bit integers, four 32-bit products
// elsewhere.  Both are compiled everywhere, so that the tests prove both
// against snprintf on any machine.
#include "number_text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// On x86-64, with the compilers that build this tool there, the pairs of a
// row that take the quick path are written by a loop in assembly language:
// they are nearly all of a long run's work, and the code that GCC and clang
// make of the same steps in C++ has over a third more instructions
// (doc/performance.md).  Elsewhere, and for every other pair, the C++ steps
// do the work.
#if defined(__x86_64__) && defined(__GNUC__)
#define QUICK_PAIRS_BY_ASSEMBLY 1
#else
#define QUICK_PAIRS_BY_ASSEMBLY 0
#endif

using std::uint32_t;
using std::uint64_t;

// The 128-bit product of two 64-bit numbers, as two words.
struct Product {
	uint64_t high;
	uint64_t low;
};
using Multiply = Product (*)(uint64_t, uint64_t);

template <Multiply multiply>
static int write_number(double value, char *text);
template <Multiply multiply>
[[gnu::always_inline]] static inline bool write_quickly(uint64_t bits, char *text, int &length);
template <Multiply multiply>
[[gnu::always_inline]] static inline uint64_t next_digits(uint64_t &fraction, uint32_t factor);
#if QUICK_PAIRS_BY_ASSEMBLY
static void write_quick_pairs(const double *&value, const double *end, const double *&mirror,
    char *&text, char *&mirror_text);
#endif
template <Multiply multiply>
static int write_pair_slowly(double value, double mirror_value, char *text, char **mirror_text);
template <Multiply multiply>
static char *format_numbers_mirrored_with(const double *values, const double *mirror, int count,
    char *text, char *mirror_end, char **mirror_start);
static constexpr Product multiply_portable(uint64_t a, uint64_t b);
static constexpr uint64_t multiply_high_portable(uint64_t a, uint64_t b);
static int write_slowly(double value, char *text);
static int write_integer_or_by_library(double value, char *text);
static int write_by_library(double value, char *text);
static bool same_double(double a, double b);
static uint64_t eight_characters(const char *first_four, const char *last_four);
static int count_zeros_before(uint64_t characters);
static uint64_t skip_characters(uint64_t characters, int count);

// Whether the compiler's 128-bit product is the processor's: everywhere it
// has one but in WebAssembly.
#if defined(__SIZEOF_INT128__) && !defined(__wasm__)
static constexpr bool PROCESSOR_MAKES_HIGH_WORD = true;
#else
static constexpr bool PROCESSOR_MAKES_HIGH_WORD = false;
#endif

#if defined(__SIZEOF_INT128__)
// a * b, by the compiler's 128-bit product.  On x86-64 the one instruction
// is written out, since GCC 12 passes the 128-bit product through memory
// when both its words are used.
static Product
multiply_native(uint64_t a, uint64_t b)
{
#if defined(__x86_64__)
	uint64_t high, low;
	__asm__("mulq %3" : "=a"(low), "=d"(high) : "%0"(a), "rm"(b) : "cc");
	return {high, low};
#else
	__extension__ typedef unsigned __int128 uint128_t;
	uint128_t product = uint128_t(a) * b;
	return {static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
#endif
}
static constexpr Multiply multiply_fastest = multiply_native;
#else
static constexpr Multiply multiply_fastest = multiply_portable;
#endif

int
format_number(double value, char *text)
{
	return write_number<multiply_fastest>(value, text) - 1;
}

int
format_number_portable(double value, char *text)
{
	return write_number<multiply_portable>(value, text) - 1;
}

char *
format_numbers_mirrored(const double *values, const double *mirror, int count, char *text,
    char *mirror_end, char **mirror_start)
{
#if QUICK_PAIRS_BY_ASSEMBLY
	const double *end = values + count;
	char *mirror_text = mirror_end;
	for (;;) {
		write_quick_pairs(values, end, mirror, text, mirror_text);
		if (values == end)
			break;
		text += write_pair_slowly<multiply_fastest>(*values++, *mirror--, text, &mirror_text);
	}
	*mirror_start = mirror_text;
	return text;
#else
	return format_numbers_mirrored_with<multiply_fastest>(values, mirror, count, text,
	    mirror_end, mirror_start);
#endif
}

char *
format_numbers_mirrored_portable(const double *values, const double *mirror, int count,
    char *text, char *mirror_end, char **mirror_start)
{
	return format_numbers_mirrored_with<multiply_portable>(values, mirror, count, text,
	    mirror_end, mirror_start);
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
write_integer_or_by_library(double value, char *text)
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
	return write_by_library(value, text);
}

[[gnu::noinline]] static int
write_by_library(double value, char *text)
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

// a * b, the high word from four products of 32-bit halves.
static constexpr Product
multiply_portable(uint64_t a, uint64_t b)
{
	return {multiply_high_portable(a, b), a * b};
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

// The largest double, below 1.8e308, scaled by 10^-309, lies below 1.
static constexpr int MAX_SCALE = 309;

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

// The fraction is a binary one of 63 bits: 2^63 is 1.
static constexpr uint64_t ONE = uint64_t(1) << 63;

// Half a unit of the fifteenth decimal digit of the fraction, 0.5e-15,
// rounded down: added before the digits are taken, it rounds them half up.
static constexpr uint64_t HALF_DIGIT = 4611;

// The fraction of a double of the field with the given significand, shifted
// to 64 bits, scaled by mantissa and shift: the high word of their product
// shifted right.
static constexpr uint64_t
scaled_fraction(uint64_t significand, uint64_t mantissa, int shift)
{
	return multiply_high_portable(significand, mantissa) >> shift;
}

// The first three digits of a fraction, from 100 to 999 where it lies in
// [0.1, 1): the high word of its product by 2000, as it has 63 bits.
static constexpr uint64_t
first_digits(uint64_t fraction)
{
	return multiply_high_portable(fraction, 2000);
}

// How a double of one binary exponent field is scaled: times mantissa,
// the high word of the product shifted right by the shift is the double
// times 10^-power as a fraction of 63 bits, from 0.1 up to below 1, where
// power is one more than the decimal exponent of the double's text.  The
// eight characters of tail are that exponent's text and a blank, the
// shift and the length of the text with its blank; copied after the head,
// the last two are scratch.
struct Scaling {
	uint64_t mantissa = 0;
	char tail[8]{};
};
static constexpr int SHIFT_IN_TAIL = 6, LENGTH_IN_TAIL = 7;

// How write_quickly scales the doubles of one binary exponent field, which
// lie in [2^binary_exponent, 2^(binary_exponent + 1)) with binary_exponent
// = field - 1023.  scalings[0] multiplies by 10^-power, where power is one
// more than the decimal exponent of 2^binary_exponent, and scalings[1] by
// 10^-(power + 1), for the doubles whose fraction at 10^-power rounds up to
// 1.  The fraction grows with the double, so those are the doubles whose
// bits are at least next_power_from; where none of the field's are, that is
// all ones, which no double's bits are.  The tables of the quick path are
// made from these.
struct Scale {
	Scaling scalings[2]{};
	uint64_t next_power_from = 0;
};

// The tail of a Scaling: the text of the decimal exponent and its blank,
// the shift and the text's length.
static constexpr Scaling
with_tail(Scaling scaling, int exponent, int shift)
{
	int len = 0;
	scaling.tail[len++] = 'e';
	scaling.tail[len++] = '+';
	if (exponent >= 100)
		scaling.tail[len++] = static_cast<char>('0' + exponent / 100);
	scaling.tail[len++] = static_cast<char>('0' + exponent / 10 % 10);
	scaling.tail[len++] = static_cast<char>('0' + exponent % 10);
	scaling.tail[len++] = ' ';
	scaling.tail[SHIFT_IN_TAIL] = static_cast<char>(shift);
	scaling.tail[LENGTH_IN_TAIL] = static_cast<char>(len);
	return scaling;
}

// The shift of a Scaling.
static constexpr int
shift_of(const Scaling &scaling)
{
	return static_cast<unsigned char>(scaling.tail[SHIFT_IN_TAIL]);
}

static constexpr int FIELDS = LAST_EXPONENT_FIELD - FIRST_EXPONENT_FIELD + 1;

static constexpr std::array<Scale, FIELDS> scales = [] {
	constexpr auto negative_powers_of_ten = make_negative_powers_of_ten();
	std::array<Scale, FIELDS> table{};
	for (int field = FIRST_EXPONENT_FIELD; field <= LAST_EXPONENT_FIELD; field++) {
		// The significand is shifted to 64 bits, so the double is
		// (significand << 11) * 2^(field - 1086), and times 10^-power,
		// mantissa / 2^shift, and 2^63 it is the product of significand
		// and mantissa divided by 2^(shift + 1023 - field), the high
		// word divided by 2^(shift + 959 - field).  78913 / 2^18 gives
		// floor(n * log10(2)) exactly for n up to 1650.
		int power = ((field - 1023) * 78913 >> 18) + 1;
		Scale &scale = table[field - FIRST_EXPONENT_FIELD];
		for (int upper = 0; upper < 2; upper++) {
			const NegativePowerOfTen &ten = negative_powers_of_ten[power + upper];
			scale.scalings[upper] = with_tail(Scaling{ten.mantissa, {}}, power + upper - 1,
			    ten.shift + 959 - field);
		}
		// The first double of the field whose rounded fraction at
		// 10^-power reaches 1, by bisection of its significand.
		auto reaches = [&](uint64_t significand) {
			return scaled_fraction(significand, scale.scalings[0].mantissa,
			    shift_of(scale.scalings[0])) +
			    HALF_DIGIT >= ONE;
		};
		uint64_t low = ONE, high = ~uint64_t(0) << 11;
		if (!reaches(high)) {
			scale.next_power_from = ~uint64_t(0);
			continue;
		}
		while (low < high) {  // the answer lies in [low, high]
			uint64_t middle = (low + (high - low) / 2) & ~uint64_t(0) << 11;
			if (reaches(middle))
				high = middle;
			else
				low = middle + (uint64_t(1) << 11);
		}
		scale.next_power_from = uint64_t(field) << 52 | (low << 1 >> 12);
	}
	return table;
}();

// Every scaling keeps the fraction of its doubles, rounded, in [0.1, 1), so
// that its first three digits are from 100 to 999, and at most 4 bits are
// shifted out of the high word.
static_assert([] {
	for (const Scale &scale : scales) {
		uint64_t first = ONE, last = ~uint64_t(0) << 11;
		uint64_t upper_from = scale.next_power_from == ~uint64_t(0) ? 0 :
		    (scale.next_power_from << 12 >> 1) | ONE;
		for (int upper = 0; upper < 2; upper++) {
			const Scaling &scaling = scale.scalings[upper];
			int shift = shift_of(scaling);
			uint64_t low = upper ? upper_from : first;
			uint64_t high = upper || upper_from == 0 ? last : upper_from - (uint64_t(1) << 11);
			if (upper && upper_from == 0)
				continue;
			if (shift > 4 || first_digits(scaled_fraction(low, scaling.mantissa, shift) +
			    HALF_DIGIT) < 100 || scaled_fraction(high, scaling.mantissa, shift) +
			    HALF_DIGIT >= ONE)
				return false;
		}
	}
	return true;
}());

// The bits of 10^15 and of infinity: between them, as unsigned numbers,
// lie the bits of exactly the doubles from 10^15 up to the largest.
static constexpr uint64_t BITS_OF_1E15 = 0x430c6bf526340000;
static constexpr uint64_t BITS_OF_INFINITY = 0x7ff0000000000000;

// What the fraction left after the fifteenth digit may fall short of the
// exact one's is below 10^16 units of 2^-64 of that digit (see
// write_quickly): that fraction less 1, from TIE_LIMIT on, is within that
// below a whole digit, or zero.
static constexpr uint64_t TIE_LIMIT = ~uint64_t(0) - 10000000000000000;

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

// The length of a head whose last four digits are the index: 12 and their
// number without trailing zeros; 0 for "0000", where the other digits
// decide.
static constexpr std::array<unsigned char, 10000> head_lengths = [] {
	std::array<unsigned char, 10000> lengths{};
	for (unsigned i = 1; i < 10000; i++) {
		unsigned char length = 16;
		for (unsigned rest = i; rest % 10 == 0; rest /= 10)
			length--;
		lengths[i] = length;
	}
	return lengths;
}();

// The tables of the quick path, in one object, so that one register holds
// the address of them all: the two scalings of each field side by side;
// for each field, the bits of its last double that takes the lower
// scaling; the characters of digit groups and the lengths of heads; and
// the constants that the x86-64 path compares and multiplies with.
struct QuickTables {
	std::array<Scaling, 2 * std::size_t(FIELDS)> scalings{};
	std::array<uint64_t, FIELDS> last_lower{};
	std::array<char, 4000> head_quads{};
	std::array<char, 40000> digit_quads{};
	std::array<unsigned char, 10000> head_lengths{};
	uint64_t two_thousand = 2000, ten_thousand = 10000;
	uint64_t range = BITS_OF_INFINITY - BITS_OF_1E15, tie_limit = TIE_LIMIT;
};
static constexpr QuickTables quick = [] {
	QuickTables tables{};
	for (std::size_t i = 0; i != scales.size(); i++) {
		tables.scalings[2 * i] = scales[i].scalings[0];
		tables.scalings[2 * i + 1] = scales[i].scalings[1];
		uint64_t first_upper = scales[i].next_power_from;
		tables.last_lower[i] = first_upper == ~uint64_t(0) ? first_upper : first_upper - 1;
	}
	tables.head_quads = head_quads;
	tables.digit_quads = digit_quads;
	tables.head_lengths = head_lengths;
	return tables;
}();

// Writes the text of value and a blank into text, and returns their length;
// after them it may leave scratch, up to NUMBER_TEXT_ROOM characters from
// text.
template <Multiply multiply>
static int
write_number(double value, char *text)
{
	uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	int length;
	return write_quickly<multiply>(bits, text, length) ? length : write_slowly(value, text);
}

// Writes the text of the double whose bits are bits, and a blank, into text,
// sets length to theirs and returns true, where the double is on the quick
// path; returns false elsewhere, having written scratch only.  Numbers from
// 10^15 on, which are nearly all of the table's, are on it, and written in
// "%.15g"'s exponent form, as in 8.80048022641748e+16; but for the rare
// number so close to halfway between two 15-digit heads that the scaling
// below cannot tell which way it rounds, and the one in ten thousand whose
// head ends in four zeros.  Scratch may follow the blank, up to
// NUMBER_TEXT_ROOM characters from text.
//
// Scaled by 10^-power, the value is a fraction from 0.1 to below 1, whose
// first 15 digits, rounded half up, are the head of its text.  The
// significand, shifted to 64 bits, times the 64-bit mantissa of 10^-power
// gives the fraction in the product's high word, which falls short of the
// exact one by less than 3 units of its last bit (less than 2 for the
// mantissa, rounded down by less than one unit, and less than 1 for the low
// word dropped); shifted right to 63 bits of fraction, by less than 4.  Half
// a unit of the fifteenth digit is added, short of the exact half by less
// than 1 more.  The four products by 2000 and 10^4 then give the fifteen
// digits of the sum and, exactly, what is left of it after them, which
// falls short of what is left of the exact sum by less than 5 * 10^15 units
// of 2^-63, or 10^16 of 2^-64.  So unless what is left is within that below
// a whole digit, or zero, where the exact sum may be one digit more or the
// value exactly halfway, the digits are the exact value's rounded half up,
// which is printf's rounding away from the halfway points.
template <Multiply multiply>
[[gnu::always_inline]] static inline bool
write_quickly(uint64_t bits, char *text, int &length)
{
	if (bits - BITS_OF_1E15 >= quick.range)
		return false;
	std::size_t field = (bits >> 52) - FIRST_EXPONENT_FIELD;
	// The value's decimal exponent is that of the low end of its binary
	// range, or one more.  Which one it is cannot be foretold from one
	// number of the table to the next, so it is chosen without a branch.
	const Scaling &scaling = quick.scalings[2 * field + (bits > quick.last_lower[field])];
	uint64_t fraction = (multiply(bits << 11 | uint64_t(1) << 63, scaling.mantissa).high >>
	    shift_of(scaling)) + HALF_DIGIT;

	uint64_t quad = next_digits<multiply>(fraction, 2000);
	std::memcpy(text, &quick.head_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 4, &quick.digit_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 8, &quick.digit_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 12, &quick.digit_quads[4 * quad], 4);
	length = quick.head_lengths[quad];
	if (fraction - 1 >= TIE_LIMIT || length == 0)
		return false;
	std::memcpy(text + length, scaling.tail, sizeof scaling.tail);
	length += scaling.tail[LENGTH_IN_TAIL];
	return true;
}

// The whole part of fraction times factor, which then keeps the rest.
// Where the processor makes the 128-bit product itself, multiply gives it;
// elsewhere, in WebAssembly among them, whose 128-bit product is a call to
// the compiler's library, the factor, which is small, multiplies the two
// halves of the fraction, and the two products are joined, exactly.
template <Multiply multiply>
[[gnu::always_inline]] static inline uint64_t
next_digits(uint64_t &fraction, uint32_t factor)
{
	if constexpr (multiply == multiply_portable || !PROCESSOR_MAKES_HIGH_WORD) {
		uint64_t low = (fraction & 0xffffffff) * factor;
		uint64_t high = (fraction >> 32) * factor + (low >> 32);
		fraction = high << 32 | (low & 0xffffffff);
		return high >> 32;
	} else {
		Product product = multiply(fraction, factor);
		fraction = product.low;
		return product.high;
	}
}

// Writes the texts of values forward and those of the mirror's backward,
// as format_numbers_mirrored promises.  Each text of the quick path is at
// least 18 characters long with its blank, so that two moves of 16
// characters copy it to the mirror's side.
template <Multiply multiply>
static char *
format_numbers_mirrored_with(const double *values, const double *mirror, int count, char *text,
    char *mirror_end, char **mirror_start)
{
	char *mirror_text = mirror_end;
	for (int i = 0; i < count; i++) {
		uint64_t bits, mirror_bits;
		std::memcpy(&bits, values + i, sizeof bits);
		std::memcpy(&mirror_bits, mirror - i, sizeof mirror_bits);
		int length;
		if (bits == mirror_bits && write_quickly<multiply>(bits, text, length)) {
			char first[16], last[16];
			std::memcpy(first, text, 16);
			std::memcpy(last, text + length - 16, 16);
			mirror_text -= length;
			std::memcpy(mirror_text, first, 16);
			std::memcpy(mirror_text + length - 16, last, 16);
		} else
			length = write_pair_slowly<multiply>(values[i], mirror[-i], text, &mirror_text);
		text += length;
	}
	*mirror_start = mirror_text;
	return text;
}

#if QUICK_PAIRS_BY_ASSEMBLY
// What format_numbers_mirrored_with does for a pair of the same double on
// the quick path, value[0] and mirror[0], for one pair after another, on
// x86-64: it moves value on and mirror back past the pairs written, and
// text and mirror_text as that does, and returns at end or at the first
// pair that is not such, or not on the quick path.  Its steps are those of
// write_quickly and of the copy to the mirror's side, in that order, and
// read the same tables.
static void
write_quick_pairs(const double *&value, const double *end, const double *&mirror, char *&text,
    char *&mirror_text)
{
	using Tables = QuickTables;
	constexpr long scalings = long(offsetof(Tables, scalings)) -
	    2L * FIRST_EXPONENT_FIELD * long(sizeof(Scaling));
	__asm__(
	    "cmp %[end], %[value]\n\t"
	    "jae 2f\n"
	    "1:\n\t"
	    // The bits, the same as the mirror's, of a double from 10^15 up.
	    "mov (%[value]), %%r8\n\t"
	    "cmp (%[mirror]), %%r8\n\t"
	    "jne 2f\n\t"
	    "lea (%%r8,%[minus_1e15]), %%rax\n\t"
	    "cmp %c[range](%[tables]), %%rax\n\t"
	    "jae 2f\n\t"
	    // Its scaling: 2 * field, and 1 more where the bits are above
	    // the field's last_lower.
	    "mov %%r8, %%r9\n\t"
	    "shr $52, %%r9\n\t"
	    "cmp %%r8, %c[last_lower](%[tables],%%r9,8)\n\t"
	    "adc %%r9, %%r9\n\t"
	    "shl $4, %%r9\n\t"
	    "movzbl %c[shift](%[tables],%%r9), %%ecx\n\t"
	    "mov %c[tail](%[tables],%%r9), %%r10\n\t"
	    // The fraction, rounded, and its fifteen digits.
	    "mov %%r8, %%rax\n\t"
	    "shl $11, %%rax\n\t"
	    "bts $63, %%rax\n\t"
	    "mulq %c[mantissa](%[tables],%%r9)\n\t"
	    "shr %%cl, %%rdx\n\t"
	    "lea %c[half](%%rdx), %%rax\n\t"
	    "mulq %c[two_thousand](%[tables])\n\t"
	    "mov %c[head_quads](%[tables],%%rdx,4), %%ecx\n\t"
	    "mov %%ecx, (%[text])\n\t"
	    "mulq %c[ten_thousand](%[tables])\n\t"
	    "mov %c[digit_quads](%[tables],%%rdx,4), %%ecx\n\t"
	    "mov %%ecx, 4(%[text])\n\t"
	    "mulq %c[ten_thousand](%[tables])\n\t"
	    "mov %c[digit_quads](%[tables],%%rdx,4), %%ecx\n\t"
	    "mov %%ecx, 8(%[text])\n\t"
	    "mulq %c[ten_thousand](%[tables])\n\t"
	    "mov %c[digit_quads](%[tables],%%rdx,4), %%ecx\n\t"
	    "mov %%ecx, 12(%[text])\n\t"
	    // Not near a tie, and a head that does not end in four zeros.
	    "sub $1, %%rax\n\t"
	    "cmp %c[tie_limit](%[tables]), %%rax\n\t"
	    "jae 2f\n\t"
	    "movzbl %c[head_lengths](%[tables],%%rdx), %%eax\n\t"
	    "test %%eax, %%eax\n\t"
	    "jz 2f\n\t"
	    // The exponent after the head; the text's length with its blank.
	    "mov %%r10, (%[text],%%rax)\n\t"
	    "shr $56, %%r10\n\t"
	    "add %%r10, %%rax\n\t"
	    // The copy on the mirror's side, and on to the next pair.
	    "movdqu (%[text]), %%xmm0\n\t"
	    "movdqu -16(%[text],%%rax), %%xmm1\n\t"
	    "sub %%rax, %[mirror_text]\n\t"
	    "movdqu %%xmm0, (%[mirror_text])\n\t"
	    "movdqu %%xmm1, -16(%[mirror_text],%%rax)\n\t"
	    "add %%rax, %[text]\n\t"
	    "add $8, %[value]\n\t"
	    "sub $8, %[mirror]\n\t"
	    "cmp %[end], %[value]\n\t"
	    "jb 1b\n"
	    "2:"
	    : [value] "+r"(value), [mirror] "+r"(mirror), [text] "+r"(text),
	    [mirror_text] "+r"(mirror_text)
	    : [end] "r"(end), [tables] "r"(&quick), [minus_1e15] "r"(-BITS_OF_1E15),
	    [range] "i"(offsetof(Tables, range)),
	    [last_lower] "i"(long(offsetof(Tables, last_lower)) - 8L * FIRST_EXPONENT_FIELD),
	    [mantissa] "i"(scalings + offsetof(Scaling, mantissa)),
	    [tail] "i"(scalings + offsetof(Scaling, tail)),
	    [shift] "i"(scalings + offsetof(Scaling, tail) + SHIFT_IN_TAIL),
	    [half] "i"(HALF_DIGIT), [two_thousand] "i"(offsetof(Tables, two_thousand)),
	    [ten_thousand] "i"(offsetof(Tables, ten_thousand)),
	    [head_quads] "i"(offsetof(Tables, head_quads)),
	    [digit_quads] "i"(offsetof(Tables, digit_quads)),
	    [head_lengths] "i"(offsetof(Tables, head_lengths)),
	    [tie_limit] "i"(offsetof(Tables, tie_limit))
	    : "rax", "rcx", "rdx", "r8", "r9", "r10", "xmm0", "xmm1", "cc", "memory");
}
#endif

// Writes the text of value and a blank at text, and that of mirror_value and
// a blank before *mirror_text, which it moves back to where that begins;
// returns the length of the first.
template <Multiply multiply>
[[gnu::noinline]] static int
write_pair_slowly(double value, double mirror_value, char *text, char **mirror_text)
{
	int length = write_number<multiply>(value, text);
	const char *mirror_source = text;
	int mirror_length = length;
	char other[NUMBER_TEXT_ROOM];
	if (!same_double(mirror_value, value)) {
		mirror_length = write_number<multiply>(mirror_value, other);
		mirror_source = other;
	}
	*mirror_text -= mirror_length;
	std::memcpy(*mirror_text, mirror_source, mirror_length);
	return length;
}

// Whether a and b are the same double, bit for bit, and so have one text.
static bool
same_double(double a, double b)
{
	uint64_t a_bits, b_bits;
	std::memcpy(&a_bits, &a, sizeof a_bits);
	std::memcpy(&b_bits, &b, sizeof b_bits);
	return a_bits == b_bits;
}

// The text of a number off the quick path, and a blank.
[[gnu::noinline]] static int
write_slowly(double value, char *text)
{
	int length = write_integer_or_by_library(value, text);
	text[length] = ' ';
	return length + 1;
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
// character; a word that is all zeros is not allowed.
static int
count_zeros_before(uint64_t characters)
{
	assert(characters != ZERO_CHARACTERS);
	uint64_t others = characters ^ ZERO_CHARACTERS;
	return (FIRST_CHARACTER_HIGHEST ? __builtin_clzll(others) : __builtin_ctzll(others)) / 8;
}

// The word with its first count characters taken out, those after them
// moved up, and zero bytes after those; count is below 8.
static uint64_t
skip_characters(uint64_t characters, int count)
{
	return FIRST_CHARACTER_HIGHEST ? characters << 8 * count : characters >> 8 * count;
}
