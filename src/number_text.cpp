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
// The quick paths do little work a number: the digits come four at a time,
// each group the high word of the fraction's product by 10^4, whose low
// word is the fraction left, and its characters from a table; what can be
// worked out in advance comes from the tables of number_text_tables.h,
// built at compile time; and a row's second half, the mirror image of its
// first, takes the same texts, each composed in registers and stored at
// both places from there.  Copied back from the first place instead, as
// they were, each text waited for its parts to reach the cache:
// number-speed took 8.29 ns a number that way and 7.47 ns this way (fastest
// of 10 alternating runs on one core of an AMD EPYC, family 25, model 17).
// A single number is stored group by group as its digits come, which took
// 5.34 ns a number there against 7.34 ns composed first.  It is all plain
// C++ on every target.  A loop in x86-64 assembly, with a quarter fewer
// instructions, and the product written out as one instruction bought no
// time that shows: the long run into /dev/null took 17.29 ms with both and
// 17.15 ms without, fastest of 40 runs in three rounds (doc/performance.md
// has the figures), so they were taken out.  Two other ways with fewer
// instructions took more time and were left out: digits made in SSE2's
// vector registers, and the table look-ups of four numbers at a time as
// AVX2's gathers.
//
// Each product needs the high word of a 64-by-64-bit product: the
// compiler's 128-bit product where it has one, four 32-bit products
// elsewhere.  Both are compiled everywhere, so that the tests prove both
// against snprintf on any machine.
#include "number_text.h"
#include "number_text_tables.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

using Multiply = Product (*)(uint64_t, uint64_t);

// The text of a number on the quick path, in registers, so that it is stored
// twice, at the number's place and at its mirror's, without being read back:
// the first sixteen characters of the head, as two words, of which those
// after the head's end are zeros; and the eight characters that end the
// text, the head's last ones and the tail, its blank included.
struct QuickText {
	uint64_t first, second, last;
	std::size_t length;
};

// The lengths of the two texts of a pair, each with its blank.
struct PairLengths {
	std::size_t length;
	std::size_t mirror_length;
};

template <Multiply multiply>
static int write_number(double value, char *text);
template <Multiply multiply>
[[gnu::always_inline]] static inline bool scale_quickly(uint64_t bits, uint64_t &fraction,
    const Scaling *&scaling);
template <Multiply multiply>
[[gnu::always_inline]] static inline bool write_quickly(uint64_t bits, char *text,
    std::size_t &length);
template <Multiply multiply>
[[gnu::always_inline]] static inline bool compose_quickly(uint64_t bits, QuickText &text);
[[gnu::always_inline]] static inline void store_text(const QuickText &text, char *at);
template <Multiply multiply>
[[gnu::always_inline]] static inline uint64_t next_digits(uint64_t &fraction, uint32_t factor);
template <Multiply multiply>
static PairLengths write_pair_slowly(double value, double mirror_value, char *text,
    char *mirror_text);
template <Multiply multiply>
static char *format_numbers_mirrored_with(const double *values, const double *mirror, int count,
    char *text, char *mirror_end, char **mirror_start);
static int write_slowly(double value, char *text);
static int write_integer_or_by_library(double value, char *text);
static int write_by_library(double value, char *text);
static bool same_double(double a, double b);
static uint64_t eight_characters(const char *first_four, const char *last_four);
static int count_zeros_before(uint64_t characters);
static uint64_t skip_characters(uint64_t characters, int count);
static uint64_t later_characters(uint64_t characters, int count);
static uint64_t first_characters_of(uint64_t characters, int count);
static uint64_t join_quads(const char *first_four, uint32_t last_four);

// Whether the compiler's 128-bit product is the processor's: everywhere it
// has one but in WebAssembly.
#if defined(__SIZEOF_INT128__) && !defined(__wasm__)
static constexpr bool PROCESSOR_MAKES_HIGH_WORD = true;
#else
static constexpr bool PROCESSOR_MAKES_HIGH_WORD = false;
#endif

#if defined(__SIZEOF_INT128__)
// a * b, by the compiler's 128-bit product.
static Product
multiply_native(uint64_t a, uint64_t b)
{
	__extension__ typedef unsigned __int128 uint128_t;
	uint128_t product = uint128_t(a) * b;
	return {static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
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
	return format_numbers_mirrored_with<multiply_fastest>(values, mirror, count, text,
	    mirror_end, mirror_start);
}

char *
format_numbers_mirrored_portable(const double *values, const double *mirror, int count,
    char *text, char *mirror_end, char **mirror_start)
{
	return format_numbers_mirrored_with<multiply_portable>(values, mirror, count, text,
	    mirror_end, mirror_start);
}

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
	// The longest text fits, so no input fails this.
	assert(error == std::errc());  // GCOVR_EXCL_BR_LINE
	return static_cast<int>(end - text);
}

// Writes the text of value and a blank into text, and returns their length;
// after them it may leave scratch, up to NUMBER_TEXT_ROOM characters from
// text.
template <Multiply multiply>
static int
write_number(double value, char *text)
{
	uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	std::size_t length;
	return write_quickly<multiply>(bits, text, length) ? static_cast<int>(length) :
	    write_slowly(value, text);
}

// Scales the double whose bits are bits, where it is on the quick path, to
// its fraction, sets scaling to the scaling of its binary exponent and
// returns true; returns false for the others.  Numbers from 10^15 on, which
// are nearly all of the table's, are on it.
//
// Scaled by 10^-power, the value is a fraction from 0.1 to below 1, whose
// first 15 digits, rounded half up, are the head of its text.  The
// significand, shifted to 64 bits, times the 64-bit mantissa of 10^-power
// gives the fraction in the product's high word, which falls short of the
// exact one by less than 3 units of its last bit (less than 2 for the
// mantissa, rounded down by less than one unit, and less than 1 for the low
// word dropped); shifted right to 63 bits of fraction, by less than 4.  Half
// a unit of the fifteenth digit is added, short of the exact half by less
// than 1 more.  The four products by 2000 and 10^4 of the callers then give
// the fifteen digits of the sum and, exactly, what is left of it after
// them, which falls short of what is left of the exact sum by less than
// 5 * 10^15 units of 2^-63, or 10^16 of 2^-64.  So unless what is left is
// within that below a whole digit, or zero, where the exact sum may be one
// digit more or the value exactly halfway, the digits are the exact value's
// rounded half up, which is printf's rounding away from the halfway points.
template <Multiply multiply>
[[gnu::always_inline]] static inline bool
scale_quickly(uint64_t bits, uint64_t &fraction, const Scaling *&scaling)
{
	if (bits - BITS_OF_1E15 >= BITS_OF_INFINITY - BITS_OF_1E15)
		return false;
	std::size_t field = (bits >> 52) - FIRST_EXPONENT_FIELD;
	// The value's decimal exponent is that of the low end of its binary
	// range, or one more.  Which one it is cannot be foretold from one
	// number of the table to the next, so it is chosen without a branch.
	scaling = &field_scalings[2 * field + (bits > last_lower[field])];
	fraction = (multiply(bits << 11 | uint64_t(1) << 63, scaling->mantissa).high >>
	    shift_of(*scaling)) + HALF_DIGIT;
	return true;
}

// Writes the text of the double whose bits are bits, and a blank, into text,
// sets length to theirs and returns true, where the double is on the quick
// path, in "%.15g"'s exponent form, as in 8.80048022641748e+16; but for the
// rare number so close to halfway between two 15-digit heads that the
// scaling cannot tell which way it rounds, and the one in ten thousand
// whose head ends in four zeros.  Returns false elsewhere, having written
// scratch only.  Scratch may follow the blank, up to NUMBER_TEXT_ROOM
// characters from text.  Each group of digits is stored as soon as it is
// known.
template <Multiply multiply>
[[gnu::always_inline]] static inline bool
write_quickly(uint64_t bits, char *text, std::size_t &length)
{
	uint64_t fraction;
	const Scaling *scaling;
	if (!scale_quickly<multiply>(bits, fraction, scaling))
		return false;
	uint64_t quad = next_digits<multiply>(fraction, 2000);
	std::memcpy(text, &head_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 4, &digit_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 8, &digit_quads[4 * quad], 4);
	quad = next_digits<multiply>(fraction, 10000);
	std::memcpy(text + 12, &digit_quads[4 * quad], 4);
	length = head_lengths[quad];
	if (fraction - 1 >= TIE_LIMIT || length == 0)
		return false;
	std::memcpy(text + length, scaling->tail, sizeof scaling->tail);
	length += static_cast<unsigned char>(scaling->tail[LENGTH_IN_TAIL]);
	return true;
}

// Composes the same text as write_quickly, by the same steps, in text, and
// returns true where write_quickly does; returns false elsewhere.
template <Multiply multiply>
[[gnu::always_inline]] static inline bool
compose_quickly(uint64_t bits, QuickText &text)
{
	uint64_t fraction;
	const Scaling *scaling;
	if (!scale_quickly<multiply>(bits, fraction, scaling))
		return false;
	uint64_t quad = next_digits<multiply>(fraction, 2000);
	const char *head = &head_quads[4 * quad];
	quad = next_digits<multiply>(fraction, 10000);
	text.first = join_quads(head, static_cast<uint32_t>(quad));
	quad = next_digits<multiply>(fraction, 10000);
	const char *third = &digit_quads[4 * quad];
	quad = next_digits<multiply>(fraction, 10000);
	text.second = join_quads(third, static_cast<uint32_t>(quad));
	std::size_t head_length = head_lengths[quad];
	if (fraction - 1 >= TIE_LIMIT || head_length == 0)
		return false;
	uint64_t tail;
	std::memcpy(&tail, scaling->tail, sizeof tail);
	const int tail_length = static_cast<unsigned char>(scaling->tail[LENGTH_IN_TAIL]);
	text.length = head_length + std::size_t(tail_length);
	// The head's characters from length - 8 on lie in the second word from
	// length - 16 on; the tail follows them, its scratch dropped.
	text.last = first_characters_of(skip_characters(text.second, int(text.length) - 16),
	    8 - tail_length) | later_characters(tail, 8 - tail_length);
	return true;
}

// Stores text at at: its first sixteen characters, then the eight that end
// it over the zeros after the head, so that nothing is written from the
// text's end on.
[[gnu::always_inline]] static inline void
store_text(const QuickText &text, char *at)
{
	std::memcpy(at, &text.first, 8);
	std::memcpy(at + 8, &text.second, 8);
	std::memcpy(at + text.length - 8, &text.last, 8);
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
// as format_numbers_mirrored promises.  Each text of the quick path is
// stored at both places from the registers that hold it: read back from
// the first, a text whose characters were stored in several parts would
// wait for all of them to reach the cache.
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
		std::size_t length;
		QuickText quick;
		if (bits == mirror_bits && compose_quickly<multiply>(bits, quick)) {
			length = quick.length;
			store_text(quick, text);
			mirror_text -= length;
			store_text(quick, mirror_text);
		} else {
			// A call of its own, whose results come back in
			// registers, so that mirror_text stays in one here.
			PairLengths lengths = write_pair_slowly<multiply>(values[i], mirror[-i], text,
			    mirror_text);
			length = lengths.length;
			mirror_text -= lengths.mirror_length;
		}
		text += length;
	}
	*mirror_start = mirror_text;
	return text;
}

// Writes the text of value and a blank at text, and that of mirror_value and
// a blank so that they end at mirror_text; returns the lengths of both.
template <Multiply multiply>
[[gnu::noinline]] static PairLengths
write_pair_slowly(double value, double mirror_value, char *text, char *mirror_text)
{
	auto length = static_cast<std::size_t>(write_number<multiply>(value, text));
	const char *mirror_source = text;
	std::size_t mirror_length = length;
	char other[NUMBER_TEXT_ROOM];
	if (!same_double(mirror_value, value)) {
		mirror_length = static_cast<std::size_t>(write_number<multiply>(mirror_value, other));
		mirror_source = other;
	}
	std::memcpy(mirror_text - mirror_length, mirror_source, mirror_length);
	return {length, mirror_length};
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
	// Its one caller's first group is at least 1, so no input fails this.
	assert(characters != ZERO_CHARACTERS);  // GCOVR_EXCL_BR_LINE
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

// The word with its characters moved count places later, the last count
// dropped and zero bytes before them; count is below 8.
static uint64_t
later_characters(uint64_t characters, int count)
{
	return FIRST_CHARACTER_HIGHEST ? characters >> 8 * count : characters << 8 * count;
}

// The first count characters of the word, and zero bytes after them; count
// is from 1 to 7.
static uint64_t
first_characters_of(uint64_t characters, int count)
{
	return characters & (FIRST_CHARACTER_HIGHEST ? ~uint64_t(0) << 8 * (8 - count) :
	    ~uint64_t(0) >> 8 * (8 - count));
}

// The four characters at first_four and the digits of last_four, from 0 to
// 9999, after them, as one word.
static uint64_t
join_quads(const char *first_four, uint32_t last_four)
{
	uint32_t first, last;
	std::memcpy(&first, first_four, 4);
	std::memcpy(&last, &digit_quads[4 * std::size_t(last_four)], 4);
	return FIRST_CHARACTER_HIGHEST ? uint64_t(first) << 32 | last : uint64_t(last) << 32 | first;
}
