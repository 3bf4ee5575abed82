// Helpers shared by the quobi-pascal tests: a full table, the reference
// number text, and child processes whose output is captured.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "quobi-pascal.h"

// The usage text and the range message, exactly as the tool writes them.
extern const char usage_text[];
extern const char range_error[];

// The settings as the program starts, before any test assigns them.
struct Settings {
	int glines, gcell_size, screen_columns, centered;
};
extern const Settings startup_settings;

// Restores the tool's settings after each test that changes them.
class SettingsTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		saved_ = std::make_tuple(glines, gcell_size, screen_columns, centered);
	}
	void TearDown() override
	{
		std::tie(glines, gcell_size, screen_columns, centered) = saved_;
	}

private:
	std::tuple<int, int, int, int> saved_;
};

// Allocates and fills all MAX_LINES rows, once per test process, and sets
// glines to MAX_LINES.
void build_full_table();

// The text printf's "%.15g" gives for value.
std::string printf_text(double value);

// Row row of the table in the plain layout, newline included, and the first
// lines rows, built with printf's "%.15g".  Need build_full_table().
std::string printf_plain_line(int row);
std::string printf_plain_text(int lines);

// text as the tool writes it on this system: C's text streams end lines with
// CRLF on Windows.  as_read is the reverse: written text as a text stream
// reads it back.
std::string as_written(const std::string &text);
std::string as_read(const std::string &written);

// Splits text into its lines, without their newlines.
std::vector<std::string> split_lines(const std::string &text);

// Where a child's standard output goes.
enum class Sink : unsigned char {
	pipe,         // a pipe that the test reads
	dev_full,     // /dev/full: every write fails with ENOSPC
	closed,       // file descriptor 1 is closed
	broken_pipe,  // a pipe whose reading end is closed already
	// Pipes that the writer's side made non-blocking, as another program
	// sharing them may: one whose reader takes 64 KiB a millisecond, and
	// one whose reader takes one block after a pause, drops it and goes.
	slow_nonblocking_pipe,
	nonblocking_pipe_reader_leaves,
};

// Whether sink is one of the pipes that the writer's side made non-blocking.
inline bool
is_nonblocking(Sink sink)
{
	return sink == Sink::slow_nonblocking_pipe || sink == Sink::nonblocking_pipe_reader_leaves;
}

struct ChildResult {
	std::string status;  // "exit N" or "killed by signal N"
	std::string out;     // standard output
	std::string err;     // standard error
};

// What some tests need that a system may lack: each returns the reason why
// this one lacks it, or nullptr where it has it.  run_tool needs processes,
// run_in_child needs fork() or, on Windows, a new start of the test binary,
// the Sink::dev_full cases need /dev/full, and the non-blocking pipes need
// pipes that a writer can make so.
const char *missing_processes();
const char *missing_fork();
const char *missing_dev_full();
const char *missing_nonblocking_pipes();

// Ends the current test as skipped, saying why, where missing() gives a
// reason.
#define SKIP_IF_MISSING(missing) \
	do { \
		if (const char *reason = missing()) \
			GTEST_SKIP() << reason; \
	} while (0)

// Runs body in a child, forked or on Windows the test binary started again
// for the current test, with standard output sent to sink and standard
// error captured.  The child flushes standard output and exits 0 when body
// returns.  SIGPIPE is ignored in the child when ignore_sigpipe is set and
// has its default action otherwise.
ChildResult run_in_child(const std::function<void()> &body,
    Sink sink = Sink::pipe, bool ignore_sigpipe = false);

// False when the tool is started through an emulator.
extern const bool tool_runs_natively;

// The longest argument that run_tool can pass: Windows takes command lines
// of at most 32,767 characters.
#ifdef _WIN32
inline constexpr size_t longest_argument = 32000;
#else
inline constexpr size_t longest_argument = 1000000;
#endif

// Runs the built quobi-pascal executable with args after its name.
ChildResult run_tool(const std::vector<std::string> &args,
    Sink sink = Sink::pipe, bool ignore_sigpipe = false);

// Runs it with no argument vector at all, as far as this system can: Linux
// turns an empty vector into one empty argument, and Windows passes a
// command line, of which a program started with an empty one makes one
// argument, its own name (as seen under wine).
ChildResult run_tool_without_argument_vector();

#endif
