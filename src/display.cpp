// Display of the triangle table: the plain layout writes every number followed
// by a blank; the centred layout puts every number in a cell and every line in
// the middle of the screen.
#include "display.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

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
