// Child processes on POSIX systems: a forked copy of the test that runs a
// function, and the tool started with posix_spawn, each with its standard
// output sent where a test asks and its standard error captured.
#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

static std::string
describe_status(int status)
{
	if (WIFEXITED(status))
		return "exit " + std::to_string(WEXITSTATUS(status));
	if (WIFSIGNALED(status))
		return "killed by signal " + std::to_string(WTERMSIG(status));
	return "status " + std::to_string(status);
}

static void
pause_milliseconds(long milliseconds)
{
	struct timespec pause = {0, milliseconds * 1000000};
	// An interrupted sleep leaves in pause what is left of it.
	while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
	}
}

// Reads both pipes to their end, whichever the child fills first, standard
// output at the pace that sink sets.  A failed poll or read, but for an
// interrupted call, fails the test and ends the reading (of that pipe, for
// a read).
static void
read_all(int out_fd, int err_fd, std::string &out, std::string &err, Sink sink)
{
	struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
	std::string *texts[2] = {&out, &err};
	char chunk[65536];

	// Long enough for the writer to fill the pipe and find it full.
	if (sink == Sink::nonblocking_pipe_reader_leaves)
		pause_milliseconds(50);
	while (fds[0].fd >= 0 || fds[1].fd >= 0) {
		if (poll(fds, 2, -1) < 0) {
			if (errno == EINTR)
				continue;
			ADD_FAILURE() << "poll: " << std::strerror(errno);
			break;
		}
		for (struct pollfd &fd : fds) {
			if (fd.fd < 0 || fd.revents == 0)
				continue;
			ssize_t n = read(fd.fd, chunk, sizeof chunk);
			bool is_out = &fd == fds;
			if (n > 0 && is_out && sink == Sink::nonblocking_pipe_reader_leaves) {
				close(fd.fd);
				fd.fd = -1;
				continue;
			}
			if (n > 0) {
				texts[&fd - fds]->append(chunk, n);
				if (is_out && sink == Sink::slow_nonblocking_pipe)
					pause_milliseconds(1);
				continue;
			}
			if (n < 0 && errno == EINTR)
				continue;
			if (n < 0)
				ADD_FAILURE() << "read: " << std::strerror(errno);
			close(fd.fd);
			fd.fd = -1;
		}
	}
	for (struct pollfd &fd : fds)
		if (fd.fd >= 0)
			close(fd.fd);
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
missing_nonblocking_pipes()
{
	return nullptr;
}

const char *
missing_dev_full()
{
	struct stat status;
	if (stat("/dev/full", &status) == 0 && S_ISCHR(status.st_mode))
		return nullptr;
	return "this system has no /dev/full";
}

// The pipes that carry a child's standard output and error to the test.
struct ChildPipes {
	int out[2] = {-1, -1};
	int err[2] = {-1, -1};

	Sink sink;

	explicit ChildPipes(Sink sink_) : sink(sink_)
	{
		if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
			std::abort();
		if (sink == Sink::broken_pipe) {
			// Nobody can ever read this pipe, so every write to it fails.
			close(out[0]);
			out[0] = -1;
		}
		// The flag belongs to the pipe's open end, which the child's
		// standard output shares.
		if (is_nonblocking(sink) &&
		    fcntl(out[1], F_SETFL, fcntl(out[1], F_GETFL) | O_NONBLOCK) != 0)
			std::abort();
	}

	// Waits for the child after reading everything it wrote.
	ChildResult collect(pid_t pid)
	{
		close(out[1]);
		close(err[1]);
		ChildResult result;
		read_all(out[0], err[0], result.out, result.err, sink);
		int status = 0;
		waitpid(pid, &status, 0);
		result.status = describe_status(status);
		return result;
	}
};

ChildResult
run_in_child(const std::function<void()> &body, Sink sink, bool ignore_sigpipe)
{
	ChildPipes pipes(sink);
	std::fflush(nullptr);
	pid_t pid = fork();
	if (pid < 0)
		std::abort();
	if (pid == 0) {
		signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
		switch (sink) {
		case Sink::pipe:
		case Sink::broken_pipe:
		case Sink::slow_nonblocking_pipe:
		case Sink::nonblocking_pipe_reader_leaves:
			dup2(pipes.out[1], 1);
			break;
		case Sink::dev_full: {
			int fd = open("/dev/full", O_WRONLY);
			if (fd < 0) {
				std::perror("/dev/full");
				_exit(127);
			}
			dup2(fd, 1);
			close(fd);
			break;
		}
		case Sink::closed:
			close(1);
			break;
		}
		dup2(pipes.err[1], 2);
		body();
		std::fflush(stdout);
		_exit(0);
	}
	return pipes.collect(pid);
}

// The command that starts the tool: its path, behind the emulator that runs
// it when it was built for another machine, or the command that the build
// was told to test instead.
static const char *const tool_command[] = {QUOBI_PASCAL_TOOL};
const bool tool_runs_natively = std::size(tool_command) == 1 && !QUOBI_PASCAL_TOOL_ON_NODE;

ChildResult
run_tool_without_argument_vector()
{
	return run_in_child([] {
		char *argv[] = {nullptr};
		execv(tool_command[0], argv);
		_exit(127);
	});
}

// Starts the tool with posix_spawn, which unlike fork does not copy the
// test's memory: the command-line sweep starts it thousands of times.
ChildResult
run_tool(const std::vector<std::string> &args, Sink sink, bool ignore_sigpipe)
{
	std::vector<char *> argv;
	for (const char *word : tool_command)
		argv.push_back(const_cast<char *>(word));
	for (const std::string &arg : args)
		argv.push_back(const_cast<char *>(arg.c_str()));
	argv.push_back(nullptr);

	ChildPipes pipes(sink);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	switch (sink) {
	case Sink::pipe:
	case Sink::broken_pipe:
	case Sink::slow_nonblocking_pipe:
	case Sink::nonblocking_pipe_reader_leaves:
		posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 1);
		break;
	case Sink::dev_full:
		posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
		break;
	case Sink::closed:
		posix_spawn_file_actions_addclose(&actions, 1);
		break;
	}
	posix_spawn_file_actions_adddup2(&actions, pipes.err[1], 2);

	// An ignored signal stays ignored in the program started; one set to
	// its default action in the attributes gets that.
	posix_spawnattr_t attributes;
	posix_spawnattr_init(&attributes);
	sigset_t signals;
	sigemptyset(&signals);
	posix_spawnattr_setsigmask(&attributes, &signals);
	if (!ignore_sigpipe)
		sigaddset(&signals, SIGPIPE);
	posix_spawnattr_setsigdefault(&attributes, &signals);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
	auto *saved_action = signal(SIGPIPE, SIG_IGN);

	pid_t pid;
	int error = posix_spawnp(&pid, argv[0], &actions, &attributes,
	    argv.data(), environ);
	signal(SIGPIPE, saved_action);
	posix_spawnattr_destroy(&attributes);
	posix_spawn_file_actions_destroy(&actions);
	if (error != 0)
		std::abort();
	return pipes.collect(pid);
}
