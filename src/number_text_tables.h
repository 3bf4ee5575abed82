// The tables of the number text, built at compile time, and the arithmetic
// that builds them: for each binary exponent of the doubles from 10^15 up,
// the power of ten that scales them to a fraction, the text of their
// decimal exponent, and which of them take the next power; and the
// characters of digit groups.  Only number_text.cpp includes this file.
#ifndef NUMBER_TEXT_TABLES_H
#define NUMBER_TEXT_TABLES_H

#include <array>
#include <cstddef>
#include <cstdint>

using std::uint32_t;
using std::uint64_t;

// The 128-bit product of two 64-bit numbers, as two words.
struct Product {
	uint64_t high;
	uint64_t low;
};

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

// a * b, the high word from four products of 32-bit halves.
static constexpr Product
multiply_portable(uint64_t a, uint64_t b)
{
	return {multiply_high_portable(a, b), a * b};
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

// The two scalings of each field side by side, and for each field the bits
// of its last double that takes the lower one.
static constexpr std::array<Scaling, 2 * std::size_t(FIELDS)> field_scalings = [] {
	std::array<Scaling, 2 * std::size_t(FIELDS)> scalings{};
	for (std::size_t i = 0; i != scales.size(); i++) {
		scalings[2 * i] = scales[i].scalings[0];
		scalings[2 * i + 1] = scales[i].scalings[1];
	}
	return scalings;
}();
static constexpr std::array<uint64_t, FIELDS> last_lower = [] {
	std::array<uint64_t, FIELDS> last{};
	for (std::size_t i = 0; i != scales.size(); i++) {
		uint64_t first_upper = scales[i].next_power_from;
		last[i] = first_upper == ~uint64_t(0) ? first_upper : first_upper - 1;
	}
	return last;
}();

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

#endif
