// Child processes on Windows: the tool started with CreateProcess, and a new
// process of the test binary that runs one function, each with its standard
// output sent where a test asks and its standard error captured.
//
// Windows has no fork(), so run_in_child starts the test binary again for
// the current test alone, as GoogleTest's death tests do there.  The new
// process runs the test from its start.  Every call of run_in_child before
// the one that started it returns what that call returned in the parent,
// which the parent wrote to a file, so that the test takes the same path;
// that call then runs its body with standard output sent to the sink,
// flushes it and exits 0.  Until then the child's standard output and error
// go to NUL, so that it writes nothing but what the body writes.
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
#include <fstream>
#include <iterator>

// CMake reads GoogleTest's list of the tests and splits it at LF alone, so
// the tests' own standard output is written without CRLF line ends.
static const int binary_stdout = _setmode(_fileno(stdout), _O_BINARY);

// What a new process of the test binary, started by run_in_child, is to do:
// the number of the call of run_in_child in the test that it runs, the
// results of the calls before it, and where standard output and error went
// before they were sent to NUL.
struct ChildRole {
	int call = -1;  // -1 in a process that no run_in_child started
	std::vector<ChildResult> earlier;
	int out = -1, err = -1;
};
static const wchar_t child_variable[] = L"QUOBI_PASCAL_CHILD";
static ChildRole take_child_role();
static const ChildRole child_role = take_child_role();

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
	return nullptr;
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

const char *
missing_nonblocking_pipes()
{
	return "Windows has no pipe that a writer makes non-blocking";
}

const bool tool_runs_natively = true;

// Windows' UTF-16 text as UTF-8.
static std::string
utf8(const wchar_t *text)
{
	int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
	std::string bytes(size_t(size), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
	bytes.pop_back();  // the terminator
	return bytes;
}

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

// Starts command_line, or application with command_line where application
// is given, with standard output sent to sink, or ends the test binary
// saying why it could not.
static Started
start(const std::string &command_line, Sink sink, const wchar_t *application = nullptr)
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
		bool created = CreateProcessW(application, text.data(), nullptr,
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

// Reads what a started process writes, to the end, and waits for it.
static ChildResult
collect(const Started &started)
{
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

// SIGPIPE does not exist on Windows: ignore_sigpipe changes nothing.  A
// broken pipe is a pipe whose reading end is closed before the tool starts;
// closed output is no handle at all.
ChildResult
run_tool(const std::vector<std::string> &args, Sink sink, bool)
{
	std::string command_line = quoted(QUOBI_PASCAL_PATH);
	for (const std::string &arg : args)
		command_line += ' ' + quoted(arg);
	return collect(start(command_line, sink));
}

ChildResult
run_tool_without_argument_vector()
{
	return collect(start("", Sink::pipe, utf16(QUOBI_PASCAL_PATH).c_str()));
}

// A ChildResult in a file: each text as its length, a newline and its bytes.
static void
write_results(const std::string &path, const std::vector<ChildResult> &results)
{
	std::ofstream file(path, std::ios::binary);
	for (const ChildResult &result : results)
		for (const std::string *text : {&result.status, &result.out, &result.err})
			file << text->size() << '\n' << *text;
	if (!file.flush()) {
		std::fprintf(stderr, "cannot write %s\n", path.c_str());
		std::abort();
	}
}

static std::vector<ChildResult>
read_results(const std::string &path)
{
	std::ifstream file(path, std::ios::binary);
	std::vector<ChildResult> results;
	for (;;) {
		ChildResult result;
		for (std::string *text : {&result.status, &result.out, &result.err}) {
			size_t size;
			if (!(file >> size) || file.get() != '\n')
				return results;
			text->resize(size);
			file.read(text->data(), std::streamsize(size));
		}
		results.push_back(result);
	}
}

// In a process that run_in_child started, with QUOBI_PASCAL_CHILD set to the
// number of the call and the file of the results before it: takes note of
// both and of where standard output and error go, then sends them to NUL.
static ChildRole
take_child_role()
{
	ChildRole role;
	wchar_t wide[2 * MAX_PATH];
	if (GetEnvironmentVariableW(child_variable, wide, 2 * MAX_PATH) == 0)
		return role;
	const std::string value = utf8(wide);
	size_t blank = value.find(' ');
	role.call = std::stoi(value.substr(0, blank));
	role.earlier = read_results(value.substr(blank + 1));
	role.out = _dup(1);  // -1 where standard output is closed
	role.err = _dup(2);
	int nul = _open("NUL", _O_WRONLY);
	_dup2(nul, 1);
	_dup2(nul, 2);
	_close(nul);
	return role;
}

ChildResult
run_in_child(const std::function<void()> &body, Sink sink, bool)
{
	// The calls of the current test so far, and what they returned.
	static const ::testing::TestInfo *test = nullptr;
	static std::vector<ChildResult> earlier;
	const ::testing::TestInfo *current = ::testing::UnitTest::GetInstance()->current_test_info();
	if (current != test) {
		test = current;
		earlier.clear();
	}

	if (child_role.call >= 0) {
		if (earlier.size() < size_t(child_role.call)) {
			earlier.push_back(child_role.earlier.at(earlier.size()));
			return earlier.back();
		}
		// This call's body, with the standard output and error that the
		// parent gave, as text streams, as the tool has them.
		std::fflush(stdout);
		std::fflush(stderr);
		if (child_role.out < 0) {
			_close(1);
		} else {
			_dup2(child_role.out, 1);
			_setmode(1, _O_TEXT);
		}
		_dup2(child_role.err, 2);
		body();
		std::fflush(stdout);
		_exit(0);
	}

	if (sink == Sink::dev_full) {
		std::fputs("run_in_child: Windows has no full device\n", stderr);
		std::abort();
	}
	wchar_t directory[MAX_PATH + 1], file[MAX_PATH + 1], self[MAX_PATH + 1];
	if (!GetTempPathW(MAX_PATH + 1, directory) ||
	    !GetTempFileNameW(directory, L"qpc", 0, file) ||
	    !GetModuleFileNameW(nullptr, self, MAX_PATH + 1))
		std::abort();
	const std::string results = utf8(file);
	write_results(results, earlier);
	const std::string value = std::to_string(earlier.size()) + ' ' + results;
	SetEnvironmentVariableW(child_variable, utf16(value).c_str());
	std::string command_line = quoted(utf8(self)) + " --gtest_filter=" +
	    current->test_suite_name() + '.' + current->name();
	Started started = start(command_line, sink);
	SetEnvironmentVariableW(child_variable, nullptr);
	ChildResult result = collect(started);
	DeleteFileW(file);
	earlier.push_back(result);
	return result;
}
