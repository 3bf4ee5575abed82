// The fuzz targets' checks: the number text against the C library, and the
// centred layout against a model of it written here.
#include "fuzz_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__GLIBC__)
#include <unistd.h>
#endif

#include "display.h"
#include "number_text.h"
#include "quobi-pascal.h"
#include "triangle.h"

static std::vector<double> read_doubles(const std::uint8_t *data, std::size_t size);
static std::string expected_text(double value);
static std::string untouched(const std::string &buffer, std::size_t from, std::size_t to);
static void build_table_once();
static std::string model_centered_row(int line_no, int cell_size);
static std::string model_display();
static std::string captured_display();

// The bytes that the checks fill their buffers with, which the code under
// test must leave where it may not write.
static constexpr char GUARD = '#';
static constexpr std::size_t GUARD_SIZE = 16;

std::string
check_number_text(const std::uint8_t *data, std::size_t size)
{
	const struct {
		const char *name;
		int (*format)(double, char *);
	} paths[] = {{"format_number", format_number},
	    {"format_number_portable", format_number_portable}};
	for (double value : read_doubles(data, size)) {
		std::string expected = expected_text(value);
		for (const auto &path : paths) {
			std::string buffer(GUARD_SIZE + NUMBER_TEXT_ROOM + GUARD_SIZE, GUARD);
			int len = path.format(value, &buffer[GUARD_SIZE]);
			if (len < 1 || len > NUMBER_TEXT_MAX ||
			    buffer.compare(GUARD_SIZE, std::size_t(len), expected) != 0)
				return std::string(path.name).append(" writes ")
				    .append(buffer, GUARD_SIZE, std::size_t(std::max(len, 0)))
				    .append(", printf ").append(expected);
			std::string outside = untouched(buffer, 0, GUARD_SIZE) +
			    untouched(buffer, GUARD_SIZE + NUMBER_TEXT_ROOM, buffer.size());
			if (!outside.empty())
				return std::string(path.name).append(" of ").append(expected).append(outside);
		}
	}
	return "";
}

std::string
check_mirrored_numbers(const std::uint8_t *data, std::size_t size)
{
	if (size == 0)
		return "";
	const unsigned selector = data[0];
	const std::vector<double> values = read_doubles(data + 1, size - 1);
	const std::size_t count = values.size();
	std::vector<double> mirror(count);
	std::string forward, backward;
	for (std::size_t i = 0; i < count; i++) {
		bool other = (selector >> (i % 8) & 1) != 0;
		mirror[count - 1 - i] = other ? values[(i + 1) % count] : values[i];
		forward += expected_text(values[i]) + ' ';
	}
	for (double value : mirror)
		backward += expected_text(value) + ' ';
	const struct {
		const char *name;
		char *(*format)(const double *, const double *, int, char *, char *, char **);
	} paths[] = {{"format_numbers_mirrored", format_numbers_mirrored},
	    {"format_numbers_mirrored_portable", format_numbers_mirrored_portable}};
	const std::size_t most = count * (NUMBER_TEXT_MAX + 1);
	for (const auto &path : paths) {
		std::string text(GUARD_SIZE + most + NUMBER_TEXT_ROOM + GUARD_SIZE, GUARD);
		std::string mirror_text(GUARD_SIZE + most + GUARD_SIZE, GUARD);
		char *start = &text[GUARD_SIZE];
		char *mirror_end = &mirror_text[GUARD_SIZE + most], *mirror_start = nullptr;
		const double *mirror_last = count ? &mirror[count - 1] : mirror.data();
		char *end = path.format(values.data(), mirror_last, int(count), start, mirror_end,
		    &mirror_start);
		if (end < start || std::string(start, end) != forward ||
		    mirror_start == nullptr || mirror_start > mirror_end ||
		    std::string(mirror_start, mirror_end) != backward)
			return std::string(path.name).append(": printf writes\n").append(forward)
			    .append("\n").append(backward);
		// The room that the last text may use begins where that text does.
		std::size_t last = std::size_t(end - text.data()) -
		    (count ? expected_text(values[count - 1]).size() + 1 : 0);
		std::string outside = untouched(text, 0, GUARD_SIZE) +
		    untouched(text, last + NUMBER_TEXT_ROOM, text.size()) +
		    untouched(mirror_text, 0, std::size_t(mirror_start - mirror_text.data())) +
		    untouched(mirror_text, GUARD_SIZE + most, mirror_text.size());
		if (!outside.empty())
			return std::string(path.name).append(" of\n").append(forward).append(outside);
	}
	return "";
}

std::string
check_centered_line(const std::uint8_t *data, std::size_t size)
{
	if (size < 7)
		return "";
	build_table_once();
	const int saved_glines = glines, saved_cell_size = gcell_size;
	const int saved_columns = screen_columns, saved_centered = centered;
	glines = 1 + (data[0] | data[1] << 8) % MAX_LINES;
	// The cell size from -128 to 127, its byte read as signed.
	const int cell_size = data[4] < 128 ? data[4] : data[4] - 256;
	// center_buf's line, cell and terminator must fit in gline_buf.
	int rows = glines;
	if (cell_size > 0 && rows > (LINE_BUF_SIZE - 1) / cell_size)
		rows = (LINE_BUF_SIZE - 1) / cell_size;
	std::string fault;
	if (rows > 0) {
		const int line_no = (data[2] | data[3] << 8) % rows;
		const std::string expected = model_centered_row(line_no, cell_size);
		const int length = center_buf(line_no, cell_size);
		if (std::size_t(length) != expected.size() ||
		    (length > 0 && expected != gline_buf))
			fault = "center_buf(" + std::to_string(line_no) + ", " +
			    std::to_string(cell_size) + ") wrote \"" + gline_buf + "\", not \"" +
			    expected + "\"";
	}
	// The display composes each row before it knows whether the row fits
	// on the screen, which is at most 999 columns: a row after one that
	// fits fits in gline_buf only with cells of at most 41 characters.
	gcell_size = cell_size;
	screen_columns = (data[5] | data[6] << 8) % 1000;
	centered = 1;
	if (fault.empty() && cell_size <= 41) {
		std::string expected = model_display(), written = captured_display();
		if (written != "not captured" && written != expected)
			fault = "the display of " + std::to_string(glines) + " lines, cells of " +
			    std::to_string(cell_size) + ", " + std::to_string(screen_columns) +
			    " columns:\n" + written + "\nnot:\n" + expected;
	}
	glines = saved_glines, gcell_size = saved_cell_size;
	screen_columns = saved_columns, centered = saved_centered;
	return fault;
}

static std::vector<double>
read_doubles(const std::uint8_t *data, std::size_t size)
{
	std::vector<double> values;
	for (std::size_t i = 0; i + 8 <= size; i += 8) {
		std::uint64_t bits = 0;
		for (int byte = 7; byte >= 0; byte--)
			bits = bits << 8 | data[i + std::size_t(byte)];
		double value;
		std::memcpy(&value, &bits, sizeof value);
		values.push_back(value);
	}
	return values;
}

// printf's text, but that a negative NaN shows its sign, which is the C
// library's choice: glibc writes -nan, mingw-w64 nan.
static std::string
expected_text(double value)
{
	if (std::isnan(value) && std::signbit(value))
		return "-nan";
	char text[64];
	int len = std::snprintf(text, sizeof text, "%.15g", value);
	return std::string(text, std::size_t(len));
}

// Where buffer[from .. to) holds other than the guard, which characters.
static std::string
untouched(const std::string &buffer, std::size_t from, std::size_t to)
{
	for (std::size_t i = from; i < to; i++)
		if (buffer[i] != GUARD)
			return ", but wrote at " + std::to_string(i) + " of its guarded buffer";
	return "";
}

// Every row of the table, as the tool builds them.
static void
build_table_once()
{
	if (garray[MAX_LINES - 1] != nullptr)
		return;
	const int saved = glines;
	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	glines = saved;
}

// Row line_no with every number in a cell of cell_size characters, the odd
// blank to its right; empty where a number needs the whole cell or more.
static std::string
model_centered_row(int line_no, int cell_size)
{
	std::string row;
	for (int j = 0; j <= line_no; j++) {
		std::string number = expected_text(garray[line_no][j]);
		int free = cell_size - int(number.size());
		if (free < 1)
			return "";
		row += std::string(std::size_t(free / 2), ' ') + number +
		    std::string(std::size_t(free - free / 2), ' ');
	}
	return row;
}

// The centred display: the rows in the middle of the screen, an odd free
// column to the right, up to the first that does not leave a column free;
// cells of 8 where there are more than 20 rows and row 19 fits so.
static std::string
model_display()
{
	int cell_size = gcell_size;
	if (glines > 20) {
		std::string row = model_centered_row(19, 8);
		if (!row.empty() && int(row.size()) < screen_columns)
			cell_size = 8;
	}
	std::string text;
	for (int line_no = 0; line_no < glines; line_no++) {
		std::string row = model_centered_row(line_no, cell_size);
		if (row.empty() || int(row.size()) >= screen_columns)
			break;
		text += std::string(std::size_t(screen_columns - int(row.size())) / 2, ' ') + row + '\n';
	}
	return text;
}

// What display_triangle writes, with standard output sent to a file of the
// checks' own, or "not captured" where the C library cannot do that.  The
// display may change gcell_size, which the caller restores.
static std::string
captured_display()
{
#if defined(__GLIBC__)
	static FILE *file = std::tmpfile();
	if (file == nullptr)
		return "not captured";
	const int fd = fileno(file);
	if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0)
		return "not captured";
	const int saved = dup(STDOUT_FILENO);
	if (saved < 0)
		return "not captured";
	if (dup2(fd, STDOUT_FILENO) < 0) {
		close(saved);
		return "not captured";
	}
	display_triangle();
	dup2(saved, STDOUT_FILENO);
	close(saved);
	std::string written(std::size_t(lseek(fd, 0, SEEK_CUR)), '\0');
	if (pread(fd, written.data(), written.size(), 0) != ssize_t(written.size()))
		return "not captured";
	return written;
#else
	return "not captured";
#endif
}
