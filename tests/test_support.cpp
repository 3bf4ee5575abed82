#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "quobi-pascal.h"
#include "triangle.h"

void
SettingsTest::SetUp()
{
	int *settings[] = {&glines, &gcell_size, &screen_columns, &centered};
	for (int i = 0; i < 4; i++)
		saved_[i] = *settings[i];
}

void
SettingsTest::TearDown()
{
	int *settings[] = {&glines, &gcell_size, &screen_columns, &centered};
	for (int i = 0; i < 4; i++)
		*settings[i] = saved_[i];
}

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
printf_plain_text(int lines)
{
	std::string text;
	for (int i = 0; i < lines; i++) {
		for (int j = 0; j <= i; j++)
			text += printf_text(garray[i][j]) + ' ';
		text += '\n';
	}
	return text;
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

static std::string
describe_status(int status)
{
	if (WIFEXITED(status))
		return "exit " + std::to_string(WEXITSTATUS(status));
	if (WIFSIGNALED(status))
		return "killed by signal " + std::to_string(WTERMSIG(status));
	return "status " + std::to_string(status);
}

// Reads both pipes to their end, whichever the child fills first.
static void
read_all(int out_fd, int err_fd, std::string &out, std::string &err)
{
	struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
	std::string *texts[2] = {&out, &err};
	char chunk[65536];

	while (fds[0].fd >= 0 || fds[1].fd >= 0) {
		if (poll(fds, 2, -1) < 0)
			continue;
		for (int i = 0; i < 2; i++) {
			if (fds[i].fd < 0 || fds[i].revents == 0)
				continue;
			ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
			if (n > 0)
				texts[i]->append(chunk, n);
			else {
				close(fds[i].fd);
				fds[i].fd = -1;
			}
		}
	}
}

ChildResult
run_in_child(const std::function<void()> &body, Sink sink, bool ignore_sigpipe)
{
	int out[2], err[2];
	if (pipe(out) != 0 || pipe(err) != 0)
		std::abort();
	if (sink == Sink::broken_pipe) {
		// Nobody can ever read this pipe, so every write to it fails.
		close(out[0]);
		out[0] = -1;
	}
	std::fflush(nullptr);

	pid_t pid = fork();
	if (pid < 0)
		std::abort();
	if (pid == 0) {
		signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
		switch (sink) {
		case Sink::pipe:
		case Sink::broken_pipe:
			dup2(out[1], 1);
			break;
		case Sink::dev_full:
			dup2(open("/dev/full", O_WRONLY), 1);
			break;
		case Sink::closed:
			close(1);
			break;
		}
		dup2(err[1], 2);
		for (int fd : {out[0], out[1], err[0], err[1]})
			if (fd >= 0)
				close(fd);
		body();
		std::fflush(stdout);
		_exit(0);
	}

	close(out[1]);
	close(err[1]);
	ChildResult result;
	read_all(out[0], err[0], result.out, result.err);
	int status = 0;
	waitpid(pid, &status, 0);
	result.status = describe_status(status);
	return result;
}

ChildResult
run_tool(const std::vector<std::string> &args, Sink sink, bool ignore_sigpipe)
{
	return run_in_child([&] {
		std::vector<char *> argv{const_cast<char *>(QUOBI_PASCAL_PATH)};
		for (const std::string &arg : args)
			argv.push_back(const_cast<char *>(arg.c_str()));
		argv.push_back(nullptr);
		execv(QUOBI_PASCAL_PATH, argv.data());
		_exit(127);
	}, sink, ignore_sigpipe);
}
