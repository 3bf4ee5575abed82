// Display of the triangle table: the plain layout writes every number followed
// by a blank; the centred layout puts every number in a cell and every line in
// the middle of the screen.
#include "display.h"

#include <array>
#include <cassert>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "quobi-pascal.h"
#include "triangle.h"

__extension__ typedef unsigned __int128 uint128_t;

// The longest text "%.15g" makes of a double, as in -1.23456789012345e-308.
static constexpr int NUMBER_TEXT_MAX = 22;

// Standard output is fully buffered in blocks of this size, so that the
// 10.6 MB of the 1000-line table reach a pipe in about 80 writes instead of
// the 2600 that its default block of 4 KiB would take.
static constexpr std::size_t OUTPUT_BUFFER_SIZE = std::size_t(128) * 1024;

static int format_number(double value, char *text);
static int format_exponent_form(double value, char *text);
static void write_digit_pair(char *text, unsigned value);

static void choose_cell_size();
static bool write_centered_line(int line_no);
static int compose_plain_line(int line_no);

char gline_buf[LINE_BUF_SIZE];

// The plain line being written: every number with its blank, and a newline.
static char plain_line[MAX_LINES * (NUMBER_TEXT_MAX + 1) + 1];

void
display_triangle()
{
	assert(glines >= 1 && glines <= MAX_LINES);
	std::setvbuf(stdout, nullptr, _IOFBF, OUTPUT_BUFFER_SIZE);
	if (centered)
		choose_cell_size();
	for (int line_no = 0; line_no < glines; line_no++) {
		if (centered) {
			if (!write_centered_line(line_no))
				break;
			std::putchar('\n');
		} else
			std::fwrite(plain_line, 1, compose_plain_line(line_no), stdout);
		check_stdout();
	}
}

int
center_buf(int line_no, int cell_size)
{
	assert(line_no >= 0);
	assert(line_no < glines);
	const double *row = garray[line_no];
	int length = 0;

	gline_buf[0] = '\0';
	for (int i = 0; i <= line_no; i++) {
		char text[NUMBER_TEXT_MAX];
		int len = format_number(row[i], text);
		assert(len > 0);
		// A number needs at least one blank in its cell.
		if (len >= cell_size)
			return 0;
		// The cell and the terminator must fit in gline_buf.
		assert(cell_size < LINE_BUF_SIZE - length);
		int left = (cell_size - len) / 2;
		char *cell = gline_buf + length;
		std::memset(cell, ' ', left);
		std::memcpy(cell + left, text, len);
		std::memset(cell + left + len, ' ', cell_size - left - len);
		length += cell_size;
		gline_buf[length] = '\0';
	}
	return length;
}

// Widens the cells from 6 to 8 characters when the twentieth line, at that
// width, fits on the screen.  The test line itself is never written.
static void
choose_cell_size()
{
	if (glines > 20) {
		int length = center_buf(19, 8);
		if (length > 0 && length < screen_columns)
			gcell_size = 8;
	}
}

// Writes row line_no in the middle of the screen, without its newline; an odd
// free column falls to the right.  Returns false, having written nothing, when
// the row does not fit: a line must leave at least one column free.
static bool
write_centered_line(int line_no)
{
	int length = center_buf(line_no, gcell_size);
	if (length <= 0 || length >= screen_columns)
		return false;
	for (int margin = (screen_columns - length) / 2; margin > 0; margin--)
		std::putchar(' ');
	std::fwrite(gline_buf, 1, length, stdout);
	return true;
}

// Composes row line_no in plain_line, every number followed by one blank and
// the row by a newline, and returns its length.  Rows are symmetric, so the
// right half copies the texts of the left half where the values are equal,
// which halves the formatting, by far the largest cost of a long run.
static int
compose_plain_line(int line_no)
{
	static int start[MAX_LINES + 1];  // where the text of entry j begins
	const double *row = garray[line_no];
	int length = 0;

	for (int j = 0; j <= line_no; j++) {
		int mirror = line_no - j;
		start[j] = length;
		if (mirror < j && row[mirror] == row[j]) {
			int len = start[mirror + 1] - start[mirror];
			std::memcpy(plain_line + length, plain_line + start[mirror], len);
			length += len;
		} else {
			int len = format_number(row[j], plain_line + length);
			assert(len > 0);
			length += len;
			plain_line[length++] = ' ';
		}
	}
	plain_line[length++] = '\n';
	return length;
}

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

// Formats value as printf's "%.15g" does: 15 significant digits, exponent
// form from 1e15 on.  Writes at most NUMBER_TEXT_MAX characters, not
// terminated, and returns their number, or 0 if they did not fit.
//
// std::to_chars makes this text for any double, but at some 630 instructions
// a number (callgrind, 1000-line table) it was most of the cost of a long
// run.  The table holds whole numbers only, so these take quicker paths:
// those below 1e15 print as integers, and larger ones go through
// format_exponent_form, at about 230 instructions.
static int
format_number(double value, char *text)
{
	if (value >= 1 && value < 1e15) {
		auto integer = static_cast<std::uint64_t>(value);
		if (static_cast<double>(integer) == value)
			return static_cast<int>(
			    std::to_chars(text, text + NUMBER_TEXT_MAX, integer).ptr - text);
	} else if (value >= 1e15 && value <= DBL_MAX) {
		int len = format_exponent_form(value, text);
		if (len > 0)
			return len;
	}
	auto [end, error] = std::to_chars(text, text + NUMBER_TEXT_MAX, value,
	    std::chars_format::general, 15);
	return error == std::errc() ? static_cast<int>(end - text) : 0;
}

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
