// The floor that bench/run measures quobi-pascal against: what the tool's
// design makes it do, and nothing more.  It builds the same 1000-row table
// with the tool's own code, each row its own zero-filled allocation, then
// writes as many bytes as the tool's long run prints, in blocks of the
// tool's output size, without formatting a single number.
// Usage: floor BYTES
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output.h"
#include "quobi-pascal.h"
#include "triangle.h"

static char block[OUTPUT_BUFFER_SIZE];

// main's parameters have the type the language gives them.
// cppcheck-suppress constParameter
int main(int argc, char *argv[])
{
	char *end = nullptr;
	long long bytes = argc == 2 ? std::strtoll(argv[1], &end, 10) : -1;
	if (end == nullptr || *end != '\0' || bytes < 0) {
		std::fputs("usage: floor BYTES\n", stderr);
		return 2;
	}
	glines = MAX_LINES;
	allocate_triangle();
	calculate_triangle();
	std::memset(block, ' ', sizeof block);
	while (bytes > 0) {
		size_t size = bytes < static_cast<long long>(sizeof block) ? size_t(bytes) : sizeof block;
		ssize_t written = write(STDOUT_FILENO, block, size);
		if (written < 0 && errno == EINTR)
			continue;
		if (written <= 0) {
			std::perror("floor: write");
			return 2;
		}
		bytes -= written;
	}
	return 0;
}
