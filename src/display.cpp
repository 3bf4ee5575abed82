// Display of the triangle table: the plain layout writes every number followed
// by a blank; the centred layout puts every number in a cell and every line in
// the middle of the screen.
#include "display.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "number_text.h"
#include "output.h"
#include "quobi-pascal.h"
#include "triangle.h"

static void choose_cell_size();
static bool write_centered_line(int line_no);
static void write_plain_line(int line_no);
static char *append_number(char *p, double value);

char gline_buf[LINE_BUF_SIZE];

// The room that write_plain_line takes in the output for row line_no: the
// texts of the first half and the middle number, each with its blank, and
// the scratch that the last may leave; then those of the second half,
// written backward to the place of the newline at the room's end.
static constexpr std::size_t
plain_line_room(int line_no)
{
	return std::size_t(line_no + 2) * (NUMBER_TEXT_MAX + 1) + NUMBER_TEXT_ROOM + 1;
}
static_assert(plain_line_room(MAX_LINES - 1) <= OUTPUT_ROOM);

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
	}
	flush_output();
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

// Writes row line_no in the middle of the screen, and its newline; an odd
// free column falls to the right.  Returns false, having written nothing, when
// the row does not fit: a line must leave at least one column free.
static bool
write_centered_line(int line_no)
{
	int length = center_buf(line_no, gcell_size);
	if (length <= 0 || length >= screen_columns)
		return false;
	int margin = (screen_columns - length) / 2;
	char *line = output_space(std::size_t(margin) + std::size_t(length) + 1);
	std::memset(line, ' ', std::size_t(margin));
	std::memcpy(line + margin, gline_buf, std::size_t(length));
	line[margin + length] = '\n';
	output_commit(line + margin + length + 1);
	return true;
}

// Writes row line_no in the plain layout, every number followed by one
// blank and the row by a newline.  Rows are symmetric, so only the first
// half is formatted, which is by far the largest cost of a long run; the
// second half takes copies of the texts of its mirror entries where the
// values are the same double, as they always are in this table.  The line
// is composed in the output itself; only the second half moves, once, from
// the end of the line's room to follow the first.
static void
write_plain_line(int line_no)
{
	const double *row = garray[line_no];
	char *line = output_space(plain_line_room(line_no));
	char *room_end = line + plain_line_room(line_no) - 1;
	char *second_start = nullptr;
	char *end = format_numbers_mirrored(row, row + line_no, (line_no + 1) / 2, line,
	    room_end, &second_start);
	if (line_no % 2 == 0)
		end = append_number(end, row[line_no / 2]);
	std::size_t second_length = std::size_t(room_end - second_start);
	std::memmove(end, second_start, second_length);
	end += second_length;
	*end++ = '\n';
	output_commit(end);
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
