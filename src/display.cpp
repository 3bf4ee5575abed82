// Display of the triangle table: the plain layout writes every number followed
// by a blank; the centred layout puts every number in a cell and every line in
// the middle of the screen.
#include "display.h"

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

static void choose_cell_size();
static bool write_centered_line(int line_no);
static int compose_plain_line(int line_no);
static char *append_number(char *p, double value);
static bool same_double(double a, double b);
static void copy_text(char *p, const char *source);

char gline_buf[LINE_BUF_SIZE];

// Texts are copied in moves of this size, at least a number and its blank.
static constexpr int COPY_SIZE = 24;
static_assert(COPY_SIZE >= NUMBER_TEXT_MAX + 1);
static_assert(COPY_SIZE >= NUMBER_TEXT_ROOM);

// The plain line being written: every number with its blank, and a newline,
// and room for the excess of the last copy or the last number written.
static char plain_line[MAX_LINES * (NUMBER_TEXT_MAX + 1) + 1 + COPY_SIZE];

void
display_triangle()
{
	assert(glines >= 1 && glines <= MAX_LINES);
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
		char text[NUMBER_TEXT_ROOM];
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
// the row by a newline, and returns its length.  Rows are symmetric, so only
// the left half is formatted, which is by far the largest cost of a long
// run; the right half copies the texts of its mirror entries where the values
// are the same double, as they always are in this table.
static int
compose_plain_line(int line_no)
{
	static const char *start[MAX_LINES / 2 + 2];  // the text of entry j
	const double *row = garray[line_no];
	const int middle = line_no / 2;
	char *p = plain_line;

	for (int j = 0; j <= middle; j++) {
		start[j] = p;
		p = append_number(p, row[j]);
	}
	start[middle + 1] = p;
	const char *mirror_end = start[line_no - middle];
	for (int mirror = line_no - middle - 1; mirror >= 0; mirror--) {
		const char *mirror_start = start[mirror];
		if (same_double(row[mirror], row[line_no - mirror])) {
			copy_text(p, mirror_start);
			p += mirror_end - mirror_start;
		} else
			p = append_number(p, row[line_no - mirror]);
		mirror_end = mirror_start;
	}
	*p++ = '\n';
	return static_cast<int>(p - plain_line);
}

// Copies the text of a number and its blank from source to p, which lies
// beyond it, in one fixed-size move: three words, all read before any is
// written, since the middle entry's copy may overlap its source.  What the
// move takes beyond the text is overwritten next.
static void
copy_text(char *p, const char *source)
{
	static_assert(COPY_SIZE == 3 * sizeof(std::uint64_t));
	std::uint64_t first, second, third;
	std::memcpy(&first, source, 8);
	std::memcpy(&second, source + 8, 8);
	std::memcpy(&third, source + 16, 8);
	std::memcpy(p, &first, 8);
	std::memcpy(p + 8, &second, 8);
	std::memcpy(p + 16, &third, 8);
}

// Whether a and b are the same double, bit for bit, and so have one text.
static bool
same_double(double a, double b)
{
	std::uint64_t a_bits, b_bits;
	std::memcpy(&a_bits, &a, sizeof a_bits);
	std::memcpy(&b_bits, &b, sizeof b_bits);
	return a_bits == b_bits;
}

// Writes the text of value and a blank at p and returns the end.
static char *
append_number(char *p, double value)
{
	int len = format_number(value, p);
	assert(len > 0);
	p[len] = ' ';
	return p + len + 1;
}
