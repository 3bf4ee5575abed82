// The run sequence of quobi-pascal: read the command line, build the table,
// display it, and make sure that every byte reached standard output.
#include "quobi-pascal.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "display.h"
#include "output.h"
#include "triangle.h"

static constexpr bool is_decimal_digit(char c);
static int parse_line_count(const char *arg);
#if defined(_WIN32) || defined(__wasi__)
static bool reader_has_gone(int errnum);
#endif
[[noreturn]] static void finish(int status);

int glines = 26;
int gcell_size = 6;
int screen_columns = 80;
int centered = 1;

void
quobi_pascal_main(int argc, char *argv[])
{
	if (screen_columns < 0 || screen_columns > 999)
		screen_columns = 999;

	// No argument keeps the centred layout; a line count selects the
	// plain one.  The argument's first character must be a digit, so
	// signs and blanks get the usage text.
	if (argc > 2)
		usage();
	if (argc == 2) {
		centered = 0;
		if (!is_decimal_digit(argv[1][0]))
			usage();
		glines = parse_line_count(argv[1]);
	}
	if (glines < 1 || glines > MAX_LINES) {
		std::fprintf(stderr, "%s: Number of lines out of range (1..%d).\n",
		    prog_name, MAX_LINES);
		std::exit(2);
	}

	allocate_triangle();
	calculate_triangle();
	display_triangle();
	finish(0);
}

void
usage()
{
	char *text = output_space(OUTPUT_ROOM);
	int length = std::snprintf(text, OUTPUT_ROOM, "Usage: %s [number-of-lines]\n\n", prog_name);
	length += std::snprintf(text + length, OUTPUT_ROOM - std::size_t(length),
	    "Display up to %d lines of Pascal's triangle.\n", MAX_LINES);
	output_commit(text + length);
	finish(2);
}

void
out_of_memory()
{
	std::fprintf(stderr, "%s: Not enough memory.\n", prog_name);
	std::exit(2);
}

void
write_error(int errnum)
{
#if defined(_WIN32) || defined(__wasi__)
	// A reader that quit early, as "| more" does, is no error to report;
	// the run still fails.
	if (reader_has_gone(errnum))
		std::_Exit(2);
#endif
	if (errnum == 0)
		errnum = EIO;
	std::fprintf(stderr, "%s: Write error: %s.\n", prog_name,
	    std::strerror(errnum));
	// Leave at once: exit() would only try to flush the failed stream again.
	std::_Exit(2);
}

static constexpr bool
is_decimal_digit(char c)
{
	return c >= '0' && c <= '9';
}

#ifdef _WIN32
// Whether a write to standard output failed with errnum because nobody reads
// it any more.  Elsewhere SIGPIPE ends the run quietly before any write can
// fail so; where SIGPIPE is ignored, the broken pipe is reported like any
// other write error.  Windows has no SIGPIPE, and its C library reports a
// write to a pipe whose reading end is closed as EINVAL, or EPIPE.
static bool
reader_has_gone(int errnum)
{
	HANDLE output = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
	return (errnum == EINVAL || errnum == EPIPE) &&
	    GetFileType(output) == FILE_TYPE_PIPE;
}
#elif defined(__wasi__)
// A WebAssembly module has no signals either: its runtime reports a write to
// a pipe that nobody reads as EPIPE, which nothing else causes.
static bool
reader_has_gone(int errnum)
{
	return errnum == EPIPE;
}
#endif

// Returns the value of the leading decimal digits of arg.  Every value above
// MAX_LINES becomes MAX_LINES + 1, however many digits it has, so that no
// count can wrap around into the accepted range.
static int
parse_line_count(const char *arg)
{
	int value = 0;

	for (; is_decimal_digit(*arg); arg++) {
		value = value * 10 + (*arg - '0');
		if (value > MAX_LINES)
			value = MAX_LINES + 1;
	}
	return value;
}

// Writes what is left of the output and closes standard output, so that a
// write or a close that fails this late is still reported, then ends the
// process with status.
static void
finish(int status)
{
	flush_output();
	if (std::fclose(stdout) != 0)
		write_error(errno);
	std::exit(status);
}
