// Display of the triangle table: the plain layout writes every number followed
// by a blank; the centred layout puts every number in a cell and every line in
// the middle of the screen.
#include "display.h"

#include <cassert>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "quobi-pascal.h"
#include "triangle.h"

// Room for the text of one number; "%.15g" needs at most 22 characters.
static constexpr int NUMBER_TEXT_SIZE = 100;

static int format_number(double value, char *text);
static void choose_cell_size();
static bool write_centered_line(int line_no);
static void write_plain_line(int line_no);

char gline_buf[LINE_BUF_SIZE];

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
		} else
			write_plain_line(line_no);
		std::putchar('\n');
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
		char text[NUMBER_TEXT_SIZE];
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

// Formats value as printf's "%.15g" does: 15 significant digits, exponent
// form from 1e15 on.  Returns the length of the text, which is not
// terminated, or 0 if it did not fit.
static int
format_number(double value, char *text)
{
	auto [end, error] = std::to_chars(text, text + NUMBER_TEXT_SIZE, value,
	    std::chars_format::general, 15);
	return error == std::errc() ? static_cast<int>(end - text) : 0;
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

// Writes row line_no with every number followed by one blank, without the
// newline.
static void
write_plain_line(int line_no)
{
	const double *row = garray[line_no];

	for (int j = 0; j <= line_no; j++) {
		char text[NUMBER_TEXT_SIZE + 1];
		int len = format_number(row[j], text);
		assert(len > 0);
		text[len] = ' ';
		std::fwrite(text, 1, len + 1, stdout);
	}
}
