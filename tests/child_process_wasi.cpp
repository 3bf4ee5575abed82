// Child processes under WASI: there are none.  A WebAssembly module can
// neither start a program nor copy itself, so every test that needs a
// process is skipped, saying so.  The end-to-end tests of the module run
// from a native build instead, against the npm package's command.
#include "test_support.h"

#include <cstdio>
#include <cstdlib>

static const char no_processes[] = "WASI has no processes";

const char *
missing_processes()
{
	return no_processes;
}

const char *
missing_fork()
{
	return no_processes;
}

const char *
missing_dev_full()
{
	return no_processes;
}

const char *
missing_nonblocking_pipes()
{
	return no_processes;
}

[[noreturn]] static void
no_process(const char *what)
{
	std::fprintf(stderr, "%s needs a process, which WASI lacks\n", what);
	std::abort();
}

ChildResult
run_in_child(const std::function<void()> &, Sink, bool)
{
	no_process("run_in_child");
}

const bool tool_runs_natively = false;

ChildResult
run_tool(const std::vector<std::string> &, Sink, bool)
{
	no_process("run_tool");
}

ChildResult
run_tool_without_argument_vector()
{
	no_process("run_tool_without_argument_vector");
}
