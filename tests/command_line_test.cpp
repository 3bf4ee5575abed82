// The command line end to end: the built executable run with a table of
// argument vectors and output sinks, checked for exit status, standard
// output and the exact standard error.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"
#include "test_support.h"

// The test binary is linked with --wrap=fclose: once armed, the wrapper
// closes standard output and then reports failure with this errno value.
// Other streams close as usual, such as the coverage build's files of
// counts.
static int fclose_error = 0;

extern "C" int __real_fclose(FILE *stream);  // NOLINT
extern "C" int
__wrap_fclose(FILE *stream)  // NOLINT
{
	if (fclose_error == 0 || stream != stdout)
		return __real_fclose(stream);
	__real_fclose(stream);
	errno = fclose_error;
	return EOF;
}

static const char no_space[] = "quobi-pascal: Write error: No space left on device.\n";

struct CommandLineCase {
	std::vector<std::string> args;
	Sink sink = Sink::pipe;
	bool ignore_sigpipe = false;
	std::string status, out, err;
};

static std::vector<CommandLineCase>
command_line_cases()
{
	build_full_table();
	const Sink pipe = Sink::pipe, full = Sink::dev_full, closed = Sink::closed,
	    broken = Sink::broken_pipe, slow = Sink::slow_nonblocking_pipe,
	    leaves = Sink::nonblocking_pipe_reader_leaves;
	const std::string ok = "exit 0", fail = "exit 2";
	const std::string bad_fd = "quobi-pascal: Write error: Bad file descriptor.\n";
#if defined(_WIN32) || QUOBI_PASCAL_TOOL_ON_NODE
	// Windows and WebAssembly have no SIGPIPE: a reader that has gone ends
	// the run quietly, with the failure status.
	const std::string epipe, sigpipe = fail;
#else
	const std::string epipe = "quobi-pascal: Write error: Broken pipe.\n";
	const std::string sigpipe = "killed by signal 13";
#endif
#if QUOBI_PASCAL_TOOL_ON_NODE
	// Node.js opens /dev/null in place of a closed standard output before
	// any code of the tool's can run, so the output goes there and the run
	// ends as it would there.
	const std::string &closed_ok = ok, closed_error;
#else
	const std::string &closed_ok = fail, &closed_error = bad_fd;
#endif
	// The run without an argument: 26 lines asked for, 13 fit on 80
	// columns.  The installed package's test compares with the same file.
	std::ifstream file(QUOBI_PASCAL_DEFAULT_OUTPUT, std::ios::binary);
	const std::string default_output{std::istreambuf_iterator<char>(file), {}};

	return {
	    // No argument: the centred layout.
	    {{}, pipe, false, ok, default_output, ""},
	    // A line count: the plain layout, whatever its size.
	    {{"1"}, pipe, false, ok, "1 \n", ""},
	    {{"3"}, pipe, false, ok, "1 \n1 1 \n1 2 1 \n", ""},
	    {{"4"}, pipe, false, ok, "1 \n1 1 \n1 2 1 \n1 3 3 1 \n", ""},
	    {{"20"}, pipe, false, ok, printf_plain_text(20), ""},
	    {{"1000"}, pipe, false, ok, printf_plain_text(1000), ""},
	    // Only the leading digits count, leading zeros included.
	    {{"5x"}, pipe, false, ok, printf_plain_text(5), ""},
	    {{"12abc"}, pipe, false, ok, printf_plain_text(12), ""},
	    {{"007"}, pipe, false, ok, printf_plain_text(7), ""},
	    {{"0001000"}, pipe, false, ok, printf_plain_text(1000), ""},
	    {{"2 lines"}, pipe, false, ok, "1 \n1 1 \n", ""},
	    // Counts outside 1..1000, however many digits they have.
	    {{"0"}, pipe, false, fail, "", range_error},
	    {{"0000"}, pipe, false, fail, "", range_error},
	    {{"1001"}, pipe, false, fail, "", range_error},
	    {{"2147483648"}, pipe, false, fail, "", range_error},
	    {{"4294967297"}, pipe, false, fail, "", range_error},
	    {{"18446744073709551617"}, pipe, false, fail, "", range_error},
	    {{std::string(5000, '9')}, pipe, false, fail, "", range_error},
	    {{"0"}, full, false, fail, "", range_error},
	    // Arguments that do not begin with a digit, and more than one.
	    {{"x5"}, pipe, false, fail, usage_text, ""},
	    {{"-5"}, pipe, false, fail, usage_text, ""},
	    {{"+5"}, pipe, false, fail, usage_text, ""},
	    {{" 5"}, pipe, false, fail, usage_text, ""},
	    {{"\t5"}, pipe, false, fail, usage_text, ""},
	    {{""}, pipe, false, fail, usage_text, ""},
	    {{"1", "2"}, pipe, false, fail, usage_text, ""},
	    {{"5", ""}, pipe, false, fail, usage_text, ""},
	    {{"x", "y", "z"}, pipe, false, fail, usage_text, ""},
	    // Digits of other scripts and forms are not ASCII digits: fullwidth,
	    // superscript and subscript, alone or before ASCII.
	    {{"\xef\xbc\x95"}, pipe, false, fail, usage_text, ""},
	    {{"\xef\xbc\x91\xef\xbc\x92"}, pipe, false, fail, usage_text, ""},
	    {{"\xef\xbc\x93x"}, pipe, false, fail, usage_text, ""},
	    {{"\xef\xbc\x95" "3"}, pipe, false, fail, usage_text, ""},
	    {{"\xe2\x81\xb5"}, pipe, false, fail, usage_text, ""},
	    {{"\xe2\x82\x85"}, pipe, false, fail, usage_text, ""},
	    // Standard output that cannot be written.
	    {{}, full, false, fail, "", no_space},
	    {{"1"}, full, false, fail, "", no_space},
	    {{"1000"}, full, false, fail, "", no_space},
	    {{"x"}, full, false, fail, "", no_space},
	    {{"1"}, closed, false, closed_ok, "", closed_error},
	    {{"1000"}, closed, false, closed_ok, "", closed_error},
	    {{"x"}, closed, false, fail, "", closed_error},
	    {{"1"}, broken, true, fail, "", epipe},
	    {{"1000"}, broken, true, fail, "", epipe},
	    {{"1000"}, broken, false, sigpipe, "", ""},
	    // A non-blocking pipe: the tool waits for its reader, and one that
	    // goes away ends the run as a broken pipe does.
	    {{}, slow, false, ok, default_output, ""},
	    {{"1000"}, slow, false, ok, printf_plain_text(1000), ""},
	    {{"1000"}, leaves, true, fail, "", epipe},
	    {{"1000"}, leaves, false, sigpipe, "", ""},
	};
}

// Runs the cases whose standard output goes to /dev/full, or all others.
static void
run_cases(bool into_dev_full)
{
	for (const CommandLineCase &c : command_line_cases()) {
		if ((c.sink == Sink::dev_full) != into_dev_full)
			continue;
		std::string trace = "quobi-pascal";
		for (const std::string &arg : c.args)
			trace += " '" + arg.substr(0, 30) + "'";
		static const char *const sink_names[] = {"a pipe", "/dev/full",
		    "closed output", "a broken pipe", "a slow non-blocking pipe",
		    "a non-blocking pipe whose reader goes"};
		if (const char *lacking = missing_nonblocking_pipes(); is_nonblocking(c.sink) && lacking) {
			std::printf("left out: %s into %s, since %s\n", trace.c_str(),
			    sink_names[int(c.sink)], lacking);
			continue;
		}
		trace += std::string(" into ") + sink_names[int(c.sink)] +
		    (c.ignore_sigpipe ? ", SIGPIPE ignored" : "");
		SCOPED_TRACE(trace);
		ChildResult result = run_tool(c.args, c.sink, c.ignore_sigpipe);
		EXPECT_EQ(result.status, c.status);
		EXPECT_EQ(result.err, as_written(c.err));
		const std::string out = as_written(c.out);
		if (result.out != out)
			ADD_FAILURE() << "standard output differs: " << result.out.size()
			    << " bytes, expected " << out.size() << "; begins\n"
			    << result.out.substr(0, 200);
	}
}

TEST(CommandLine, EndToEnd)
{
	SKIP_IF_MISSING(missing_processes);
	run_cases(false);
}

TEST(CommandLine, EndToEndIntoAFullDevice)
{
	SKIP_IF_MISSING(missing_processes);
	SKIP_IF_MISSING(missing_dev_full);
	run_cases(true);
}

// The run sequence clamps the screen width before it displays anything: a
// negative width or one above 999 becomes 999, and 0 to 999 stay.  Each run
// is compared with a display made directly on the width it should use.
TEST(CommandLine, RunSequenceClampsTheScreenWidth)
{
	SKIP_IF_MISSING(missing_fork);
	const struct {
		int assigned, used;
	} cases[] = {{-1, 999}, {1000, 999}, {0, 0}, {999, 999}};
	for (const auto &c : cases) {
		SCOPED_TRACE("screen_columns " + std::to_string(c.assigned));
		ChildResult run = run_in_child([&] {
			// The settings of a fresh process, but for the width.
			glines = startup_settings.glines;
			gcell_size = startup_settings.gcell_size;
			centered = startup_settings.centered;
			screen_columns = c.assigned;
			char name[] = "quobi-pascal";
			char *argv[] = {name, nullptr};
			quobi_pascal_main(1, argv);
		});
		ChildResult display = run_in_child([&] {
			build_full_table();
			glines = 26;
			screen_columns = c.used;
			display_triangle();
		});
		EXPECT_EQ(run.status, "exit 0");
		EXPECT_TRUE(run.out == display.out) << "standard output differs: "
		    << run.out.size() << " bytes, expected " << display.out.size();
		EXPECT_EQ(run.out.empty(), c.used == 0);
	}
}

// Write errors that only direct calls reach: the display's own writes, the
// message for a failure that left errno at 0, and a close of standard output
// that fails after everything was written, reported with its own errno.
// Where there is no full device, closed output still fails the display's
// writes.
TEST(CommandLine, WriteErrorsInsideTheRun)
{
	SKIP_IF_MISSING(missing_fork);
	build_full_table();
	const std::string eio = "quobi-pascal: Write error: Input/output error.\n";
	const auto count_1 = [] {
		char name[] = "quobi-pascal", count[] = "1";
		char *argv[] = {name, count, nullptr};
		quobi_pascal_main(2, argv);
	};
	const struct {
		const char *what = nullptr;
		void (*body)() = nullptr;
		std::string out, err;
		int fclose_errno = 0;
		Sink sink = Sink::pipe;
	} cases[] = {
	    {"display_triangle into /dev/full", [] {
		     centered = 0;
		     display_triangle();
	     }, "", no_space, 0, Sink::dev_full},
	    {"display_triangle into closed output", [] {
		     centered = 0;
		     display_triangle();
	     }, "", "quobi-pascal: Write error: Bad file descriptor.\n", 0, Sink::closed},
	    {"write_error(0)", [] { write_error(0); }, "", eio},
	    {"fclose(stdout) failing with EIO", count_1, "1 \n", eio, EIO},
	    {"fclose(stdout) failing with ENOSPC", count_1, "1 \n", no_space, ENOSPC},
	};
	const char *lacking = missing_dev_full();
	for (const auto &c : cases) {
		if (c.sink == Sink::dev_full && lacking) {
			std::printf("left out: %s, since %s\n", c.what, lacking);
			continue;
		}
		SCOPED_TRACE(c.what);
		ChildResult result = run_in_child([&c] {
			fclose_error = c.fclose_errno;
			c.body();
		}, c.sink);
		EXPECT_EQ(result.status, "exit 2");
		EXPECT_EQ(result.out, as_written(c.out));
		EXPECT_EQ(result.err, as_written(c.err));
	}
}
