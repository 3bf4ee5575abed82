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
missing_processes()
{
	return nullptr;
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

// The command line as the UTF-16 text that Windows passes on, from UTF-8:
// what a user's shell hands a program for the characters typed.
static std::wstring
utf16(const std::string &text)
{
	int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
	    int(text.size()), nullptr, 0);
	if (length == 0 && !text.empty()) {
		std::fputs("a command line that is not UTF-8 text\n", stderr);
		std::abort();
	}
	std::wstring wide(size_t(length), L'\0');
	MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
	return wide;
}

// A process of the tool, started, and the ends of its pipes that the test
// reads.
struct Started {
	PROCESS_INFORMATION process;
	HANDLE out_read, err_read;
};

// wine fails to start a process, now and then, with ERROR_INTERNAL_ERROR:
// the new process died before it was set up, so before any code of the
// tool's ran.  Only such a start is tried again, at most this many times in
// all; every other failure of CreateProcess ends the test binary at once,
// and whatever the tool does once it runs is never tried again.
static constexpr int start_attempts = 5;

// Starts command_line with standard output sent to sink, or ends the test
// binary saying why it could not.
static Started
start(const std::string &command_line, Sink sink)
{
	// CreateProcessW may write into its copy of the command line.
	std::wstring text = utf16(command_line);
	for (int attempt = 1;; attempt++) {
		HANDLE out_read = nullptr, out_write = nullptr, err_read, err_write;
		if (sink != Sink::closed)
			make_pipe(out_read, out_write);
		make_pipe(err_read, err_write);
		if (sink == Sink::broken_pipe) {
			CloseHandle(out_read);
			out_read = nullptr;
		}
		STARTUPINFOW startup = {};
		startup.cb = sizeof startup;
		startup.dwFlags = STARTF_USESTDHANDLES;
		startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
		startup.hStdOutput = out_write;
		startup.hStdError = err_write;
		Started started = {};
		bool created = CreateProcessW(nullptr, text.data(), nullptr,
		    nullptr, TRUE, 0, nullptr, nullptr, &startup, &started.process);
		DWORD error = GetLastError();
		if (out_write)
			CloseHandle(out_write);
		CloseHandle(err_write);
		if (created) {
			CloseHandle(started.process.hThread);
			started.out_read = out_read;
			started.err_read = err_read;
			return started;
		}
		if (out_read)
			CloseHandle(out_read);
		// What the process that died wrote before it did, if anything.
		std::string said = read_to_end(err_read);
		std::fprintf(stderr, "CreateProcess failed with error %lu, attempt %d of %d%s%s\n",
		    error, attempt, start_attempts, said.empty() ? "" : "; the process wrote: ",
		    said.c_str());
		if (error != ERROR_INTERNAL_ERROR || attempt == start_attempts)
			std::abort();
	}
}

// SIGPIPE does not exist on Windows: ignore_sigpipe changes nothing.  A
// broken pipe is a pipe whose reading end is closed before the tool starts;
// closed output is no handle at all.
ChildResult
run_tool(const std::vector<std::string> &args, Sink sink, bool)
{
	std::string command_line = quoted(QUOBI_PASCAL_PATH);
	for (const std::string &arg : args)
		command_line += ' ' + quoted(arg);
	Started started = start(command_line, sink);

	ChildResult result;
	if (started.out_read)
		result.out = read_to_end(started.out_read);
	result.err = read_to_end(started.err_read);
	HANDLE process = started.process.hProcess;
	WaitForSingleObject(process, INFINITE);
	DWORD status = 0;
	GetExitCodeProcess(process, &status);
	CloseHandle(process);
	result.status = "exit " + std::to_string(status);
	return result;
}
