// Composition of centred lines and both layouts of the display, by direct
// calls with the settings assigned beforehand.
#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"
#include "output.h"
#include "quobi-pascal.h"
#include "test_support.h"
#include "triangle.h"

class DisplayTest : public SettingsTest {
protected:
	void SetUp() override
	{
		SettingsTest::SetUp();
		build_full_table();
	}
};

// The row's numbers, as printf's "%.15g" writes them.
static std::vector<std::string>
row_texts(int line_no)
{
	std::vector<std::string> texts;
	for (int j = 0; j <= line_no; j++)
		texts.push_back(printf_text(garray[line_no][j]));
	return texts;
}

static std::vector<std::string>
words(const std::string &line)
{
	std::istringstream in(line);
	std::vector<std::string> result;
	for (std::string word; in >> word;)
		result.push_back(word);
	return result;
}

TEST_F(DisplayTest, CenterBufComposesOrRefusesARow)
{
	const struct {
		int glines = 0, line_no = 0, cell_size = 0, length = 0;
		const char *line = nullptr;  // nullptr: not checked
		double last_entry = 0;  // nonzero: replaces the row's last entry
	} cases[] = {
	    {26, 0, 6, 6, "  1   "},
	    {26, 5, 6, 36, "  1     5     10    10    5     1   "},
	    {26, 4, 8, 40, "   1       4       6       4       1    "},
	    {26, 19, 6, 120, nullptr},
	    {26, 20, 6, 0, nullptr},   // C(20, 8) has six digits
	    {26, 19, 8, 160, nullptr},
	    {26, 25, 8, 208, nullptr},
	    {27, 26, 8, 0, nullptr},   // C(26, 13) has eight digits
	    {1, 0, 2, 2, "1 "},
	    {1, 0, 1, 0, nullptr},     // a number needs a blank in its cell
	    {1, 0, 0, 0, nullptr},
	    {1, 0, -5, 0, nullptr},
	    {26, 25, 39, 1014, nullptr},
	    // The longest line gline_buf holds, ending in a six-character number:
	    // blanks written past its cell would leave the buffer.
	    {1, 0, 1039, 1039, nullptr, 1e300},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE("center_buf(" + std::to_string(c.line_no) + ", " +
		    std::to_string(c.cell_size) + ")");
		glines = c.glines;
		double &last = garray[c.line_no][c.line_no];
		const double built = last;
		if (c.last_entry != 0)
			last = c.last_entry;
		EXPECT_EQ(center_buf(c.line_no, c.cell_size), c.length);
		last = built;
		if (c.line) {
			EXPECT_STREQ(gline_buf, c.line);
		} else if (c.length > 0) {
			EXPECT_EQ(std::strlen(gline_buf), size_t(c.length));
		}
	}
}

// Every number sits in its cell with these blanks left and right of it, by the
// length of its text, for the two cell widths the tool uses.
TEST_F(DisplayTest, CellsPlaceTheOddBlankRightOfTheNumber)
{
	const struct {
		int cell_size, rows;
		std::array<int, 8> left, right;  // by text length; -1: does not fit
	} widths[] = {
	    {6, 20, {-1, 2, 2, 1, 1, 0, -1, -1}, {-1, 3, 2, 2, 1, 1, -1, -1}},
	    {8, 26, {-1, 3, 3, 2, 2, 1, 1, 0}, {-1, 4, 3, 3, 2, 2, 1, 1}},
	};
	for (const auto &w : widths) {
		std::vector<bool> seen(8);
		for (int row = 0; row < w.rows; row++) {
			ASSERT_EQ(center_buf(row, w.cell_size), (row + 1) * w.cell_size);
			std::vector<std::string> texts = row_texts(row);
			for (int j = 0; j <= row; j++) {
				std::string cell(gline_buf + size_t(j) * w.cell_size, w.cell_size);
				size_t len = texts[j].size();
				ASSERT_LT(len, w.left.size());
				seen[len] = true;
				EXPECT_EQ(cell, std::string(w.left.at(len), ' ') + texts[j] +
				    std::string(w.right.at(len), ' '))
				    << "row " << row << ", cell size " << w.cell_size;
			}
		}
		for (size_t len = 1; len < 8; len++)
			EXPECT_EQ(seen[len], w.left[len] >= 0) << "length " << len;
	}
}

// Preconditions that no command line can break, which end the process all
// the same when a caller does.
TEST_F(DisplayTest, FunctionsAssertTheirPreconditions)
{
	SKIP_IF_MISSING(missing_processes);
	const struct {
		const char *call;
		void (*body)();
		int glines;
		const char *message;
	} cases[] = {
	    {"center_buf(26, 6)", [] { center_buf(26, 6); }, 26, "line_no < glines"},
	    {"center_buf(-1, 6)", [] { center_buf(-1, 6); }, 26, "line_no >= 0"},
	    // 26 cells of 40 and the terminator need 1041 bytes.
	    {"center_buf(25, 40)", [] { center_buf(25, 40); }, 26,
		"cell_size < LINE_BUF_SIZE - length"},
	    {"center_buf(0, INT_MAX)", [] { center_buf(0, 2147483647); }, 26,
		"cell_size < LINE_BUF_SIZE - length"},
	    {"allocate_triangle()", allocate_triangle, 0, "glines >= 1 && glines <= MAX_LINES"},
	    {"allocate_triangle()", allocate_triangle, 1001, "glines >= 1 && glines <= MAX_LINES"},
	    {"display_triangle()", display_triangle, 0, "glines >= 1 && glines <= MAX_LINES"},
	    {"display_triangle()", display_triangle, 1001, "glines >= 1 && glines <= MAX_LINES"},
	    {"output_space(OUTPUT_ROOM + 1)", [] { output_space(OUTPUT_ROOM + 1); }, 26,
		"size <= OUTPUT_ROOM"},
	    {"output_commit() before the space", [] { output_commit(output_space(1) - 1); }, 26,
		"end >= block"},
	    {"output_commit() past the room",
		[] { output_commit(output_space(OUTPUT_ROOM) + OUTPUT_ROOM + 1); }, 26,
		"end <= block"},
	    {"calculate_triangle() of a row not allocated",
		[] {
			garray[5] = nullptr;
			calculate_triangle();
		},
		26, "row != nullptr"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.call) + " with glines " + std::to_string(c.glines));
		glines = c.glines;
		EXPECT_DEATH_IF_SUPPORTED(c.body(), c.message);
	}
}

// The centred layout on screens of several widths: the cell width chosen
// once, every line centred with the odd free column to the right, and the
// display ending at the first line that does not fit.
TEST_F(DisplayTest, CenteredLayoutFitsLinesToTheScreen)
{
	SKIP_IF_MISSING(missing_fork);
	const struct {
		int screen_columns = 0, glines = 0, cell_size = 0, lines = 0;
		int initial_cell_size = 6;
		bool row_19_too_wide = false;  // two numbers too wide for cells of 8
	} cases[] = {
	    {80, 26, 6, 13},    // row 13 needs 84 columns
	    {81, 26, 6, 13},
	    {85, 26, 6, 14},
	    {160, 26, 6, 20},   // row 19 at cells of 8 needs 160: not less
	    {161, 26, 8, 20},
	    {200, 26, 8, 24},   // row 24 needs exactly 200: no free column
	    {999, 1000, 8, 26}, // row 26 holds eight-digit numbers
	    {999, 20, 6, 20},   // up to 20 lines the cells are never widened
	    {999, 21, 8, 21},
	    {6, 26, 6, 0},
	    {0, 26, 6, 0},
	    {-3, 26, 6, 0},
	    // Row 2 is too wide; row 25 would not even fit into gline_buf.
	    {100, 26, 40, 2, 40},
	    // Row 9 at cells of 8 is exactly as wide as the built-in screen.
	    {startup_settings.screen_columns, 26, 8, 9, 8},
	    // A test line that does not fit leaves the cells as they are.
	    {999, 26, 6, 19, 6, true},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::to_string(c.screen_columns) + " columns, " +
		    std::to_string(c.glines) + " lines");
		ChildResult result = run_in_child([&] {
			screen_columns = c.screen_columns;
			glines = c.glines;
			gcell_size = c.initial_cell_size;
			centered = 1;
			if (c.row_19_too_wide)
				garray[19][9] = garray[19][10] = 1.5e300;
			display_triangle();
			std::printf("cells of %d", gcell_size);
		});
		EXPECT_EQ(result.status, "exit 0");
		std::vector<std::string> lines = split_lines(as_read(result.out));
		ASSERT_EQ(lines.size(), size_t(c.lines) + 1);
		EXPECT_EQ(lines.back(), "cells of " + std::to_string(c.cell_size));
		for (int k = 0; k < c.lines; k++) {
			int width = (k + 1) * c.cell_size;
			size_t margin = (c.screen_columns - width) / 2;
			EXPECT_EQ(lines[k].size(), margin + width) << "line " << k;
			EXPECT_EQ(lines[k].find_first_not_of(' '),
			    margin + (c.cell_size - 1) / 2) << "line " << k;
			EXPECT_EQ(words(lines[k]), row_texts(k)) << "line " << k;
		}
	}
}

// The plain layout of the whole table is exactly what printf's "%.15g "
// writes for every entry: this covers every number text the tool can print.
// It leaves the cells of the centred layout as they are, even on a screen
// where they would be widened.
TEST_F(DisplayTest, PlainLayoutMatchesPrintfForTheWholeTable)
{
	SKIP_IF_MISSING(missing_fork);
	for (int lines : {1, 5, 60, MAX_LINES}) {
		ChildResult result = run_in_child([&] {
			glines = lines;
			centered = 0;
			screen_columns = 999;
			display_triangle();
			std::printf("cells of %d", gcell_size);
		});
		EXPECT_EQ(result.status, "exit 0");
		ASSERT_EQ(result.out, as_written(printf_plain_text(lines) + "cells of 6"))
		    << lines << " lines";
	}
}

// Entries whose mirror holds another double, even one that only differs in
// sign, are formatted rather than copied from the mirror's text.  Entry 1 of
// row 4 takes its neighbour's value, so that comparing with the wrong entry
// shows: the row is 1 6 6 4 1.
TEST_F(DisplayTest, PlainLayoutFormatsEntriesThatDifferFromTheirMirror)
{
	SKIP_IF_MISSING(missing_fork);
	const double saved[] = {garray[3][0], garray[3][3], garray[4][1]};
	garray[3][0] = 0.0;
	garray[3][3] = -0.0;
	garray[4][1] = 6.0;
	const std::string expected = printf_plain_text(5);
	ChildResult result = run_in_child([] {
		glines = 5;
		centered = 0;
		display_triangle();
	});
	garray[3][0] = saved[0];
	garray[3][3] = saved[1];
	garray[4][1] = saved[2];
	EXPECT_EQ(result.status, "exit 0");
	EXPECT_EQ(result.out, as_written(expected));
}
