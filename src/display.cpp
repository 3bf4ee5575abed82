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
static void write_plain_line(int line_no);
static char *append_number(char *p, double value);

char gline_buf[LINE_BUF_SIZE];

// The plain line being written, in two halves: the numbers of the first
// half and the middle one, each with its blank, and room for the scratch
// that the last may leave; and those of the second half, written backward
// from the end, and the newline.
static char first_half[(MAX_LINES / 2 + 1) * (NUMBER_TEXT_MAX + 1) + NUMBER_TEXT_ROOM];
static char second_half[MAX_LINES / 2 * (NUMBER_TEXT_MAX + 1) + 1];

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
			write_plain_line(line_no);
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
		// Every double has a text, so no input fails this.
		assert(len > 0);  // GCOVR_EXCL_BR_LINE
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

// Writes row line_no in the plain layout, every number followed by one
// blank and the row by a newline.  Rows are symmetric, so only the first
// half is formatted, which is by far the largest cost of a long run; the
// second half takes copies of the texts of its mirror entries where the
// values are the same double, as they always are in this table.
static void
write_plain_line(int line_no)
{
	const double *row = garray[line_no];
	char *newline = second_half + sizeof second_half - 1;
	char *second_start = nullptr;
	char *end = format_numbers_mirrored(row, row + line_no, (line_no + 1) / 2, first_half,
	    newline, &second_start);
	if (line_no % 2 == 0)
		end = append_number(end, row[line_no / 2]);
	*newline = '\n';
	std::fwrite(first_half, 1, end - first_half, stdout);
	std::fwrite(second_start, 1, newline + 1 - second_start, stdout);
}

// Writes the text of value and a blank at p and returns the end.
static char *
append_number(char *p, double value)
{
	int len = format_number(value, p);
	// Every double has a text, so no input fails this.
	assert(len > 0);  // GCOVR_EXCL_BR_LINE
	p[len] = ' ';
	return p + len + 1;
}
