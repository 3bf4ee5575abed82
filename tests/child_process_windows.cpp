// Child processes on Windows: the tool started with CreateProcess, its
// standard output sent where a test asks and its standard error captured.
// Windows has no fork(), so run_in_child is not available: the tests that
// need it are skipped.
#include "test_support.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

// CMake reads GoogleTest's list of the tests and splits it at LF alone, so
// the tests' own standard output is written without CRLF line ends.
static const int binary_stdout = _setmode(_fileno(stdout), _O_BINARY);

// The command line that Windows' C runtime splits back into arg: in double
// quotes, with a quote and the backslashes before it, or before the closing
// quote, escaped by backslashes.
static std::string
quoted(const std::string &arg)
{
	std::string text = "\"";
	size_t backslashes = 0;
	for (char c : arg) {
		if (c == '\\') {
			backslashes++;
			continue;
		}
		text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
		backslashes = 0;
		text += c;
	}
	text.append(2 * backslashes, '\\');
	return text + '"';
}

// Reads handle to its end and closes it.
static std::string
read_to_end(HANDLE handle)
{
	std::string text;
	char chunk[65536];
	DWORD n;
	while (ReadFile(handle, chunk, sizeof chunk, &n, nullptr) && n > 0)
		text.append(chunk, n);
	CloseHandle(handle);
	return text;
}

// A pipe whose writing end the child inherits and whose reading end stays
// with the test.  Standard error's holds all that the tool ever writes
// there, so that the test can read standard output to its end first.
static void
make_pipe(HANDLE &read_end, HANDLE &write_end)
{
	SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
	if (!CreatePipe(&read_end, &write_end, &inherit, 65536) ||
	    !SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0))
		std::abort();
}

const char *
missing_fork()
{
	return "Windows has no fork()";
}

const char *
missing_dev_full()
{
	return "Windows has no device that is always full";
}

ChildResult
run_in_child(const std::function<void()> &, Sink, bool)
{
	std::fputs("run_in_child needs fork(), which Windows lacks\n", stderr);
	std::abort();
}

const bool tool_runs_natively = true;

// SIGPIPE does not exist on Windows: ignore_sigpipe changes nothing.  A
// broken pipe is a pipe whose reading end is closed before the tool starts;
// closed output is no handle at all.
ChildResult
run_tool(const std::vector<std::string> &args, Sink sink, bool)
{
	std::string command_line = quoted(QUOBI_PASCAL_PATH);
	for (const std::string &arg : args)
		command_line += ' ' + quoted(arg);

	HANDLE out_read = nullptr, out_write = nullptr, err_read, err_write;
	if (sink != Sink::closed)
		make_pipe(out_read, out_write);
	make_pipe(err_read, err_write);
	if (sink == Sink::broken_pipe) {
		CloseHandle(out_read);
		out_read = nullptr;
	}
	STARTUPINFOA startup = {};
	startup.cb = sizeof startup;
	startup.dwFlags = STARTF_USESTDHANDLES;
	startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
	startup.hStdOutput = out_write;
	startup.hStdError = err_write;
	PROCESS_INFORMATION process;
	if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE,
	        0, nullptr, nullptr, &startup, &process)) {
		std::fprintf(stderr, "CreateProcess failed with error %lu\n", GetLastError());
		std::abort();
	}
	CloseHandle(process.hThread);
	if (out_write)
		CloseHandle(out_write);
	CloseHandle(err_write);

	ChildResult result;
	if (out_read)
		result.out = read_to_end(out_read);
	result.err = read_to_end(err_read);
	WaitForSingleObject(process.hProcess, INFINITE);
	DWORD status = 0;
	GetExitCodeProcess(process.hProcess, &status);
	CloseHandle(process.hProcess);
	result.status = "exit " + std::to_string(status);
	return result;
}
