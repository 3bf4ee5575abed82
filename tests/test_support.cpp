// Helpers shared by the tests: the full table, the number text and the
// texts the tool writes.
#include "test_support.h"

#include <cstdio>

#include "quobi-pascal.h"
#include "triangle.h"

const char usage_text[] =
    "Usage: quobi-pascal [number-of-lines]\n"
    "\n"
    "Display up to 1000 lines of Pascal's triangle.\n";
const char range_error[] =
    "quobi-pascal: Number of lines out of range (1..1000).\n";

// Read while the test binary starts, before any test runs: the settings are
// initialized as constants, so they already hold their built-in values.
const Settings startup_settings = {glines, gcell_size, screen_columns, centered};

void
build_full_table()
{
	static bool built = false;

	glines = MAX_LINES;
	if (!built) {
		allocate_triangle();
		calculate_triangle();
		built = true;
	}
}

std::string
printf_text(double value)
{
	char text[64];
	int len = std::snprintf(text, sizeof text, "%.15g", value);
	return std::string(text, len);
}

std::string
printf_plain_line(int row)
{
	std::string line;
	for (int j = 0; j <= row; j++)
		line += printf_text(garray[row][j]) + ' ';
	return line + '\n';
}

std::string
printf_plain_text(int lines)
{
	std::string text;
	for (int i = 0; i < lines; i++)
		text += printf_plain_line(i);
	return text;
}

std::string
as_written(const std::string &text)
{
#ifdef _WIN32
	std::string written;
	for (char c : text) {
		if (c == '\n')
			written += '\r';
		written += c;
	}
	return written;
#else
	return text;
#endif
}

std::string
as_read(const std::string &written)
{
#ifdef _WIN32
	std::string text;
	for (size_t i = 0; i < written.size(); i++)
		if (written[i] != '\r' || i + 1 == written.size() || written[i + 1] != '\n')
			text += written[i];
	return text;
#else
	return written;
#endif
}

std::vector<std::string>
split_lines(const std::string &text)
{
	std::vector<std::string> lines;
	size_t start = 0;
	for (size_t end; (end = text.find('\n', start)) != std::string::npos;
	    start = end + 1)
		lines.push_back(text.substr(start, end - start));
	if (start < text.size())
		lines.push_back(text.substr(start));
	return lines;
}
