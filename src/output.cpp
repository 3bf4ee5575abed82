// Standard output in the tool's own block.  The display composes each line
// straight into the block, and full blocks go to the system's write call,
// so that the text of a long run is neither copied into stdio's buffer nor
// handed to a stream that, after a failed write, cannot say which bytes it
// sent.
#include "output.h"

#include <cassert>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#if !defined(_WIN32) && !defined(__wasi__)
#include <poll.h>
#endif

#include "quobi-pascal.h"

static void write_all(const char *bytes, std::size_t size);
#if !defined(_WIN32) && !defined(__wasi__)
static bool reader_is_behind(int errnum);
static void wait_for_reader();
#endif

// The block, and after it the room for the line that fills it: a line that
// runs past its end stays there until the block is written, then moves to
// the front.
static char block[OUTPUT_BUFFER_SIZE + OUTPUT_ROOM];
static std::size_t filled;

char *
output_space(std::size_t size)
{
	// Every commit leaves less than a block, so the room is always free.
	assert(size <= OUTPUT_ROOM);
	return block + filled;
}

void
output_commit(const char *end)
{
	assert(end >= block + filled);
	assert(end <= block + filled + OUTPUT_ROOM);
	filled = static_cast<std::size_t>(end - block);
	if (filled >= OUTPUT_BUFFER_SIZE) {
		write_all(block, OUTPUT_BUFFER_SIZE);
		filled -= OUTPUT_BUFFER_SIZE;
		std::memmove(block, block + OUTPUT_BUFFER_SIZE, filled);
	}
}

void
flush_output()
{
	write_all(block, filled);
	filled = 0;
}

// Writes size bytes to standard output, or ends the process with the write
// error.  The tool handles no signal, so no write is interrupted.
//
// Standard output may be a pipe or a terminal that another program, sharing
// it, made non-blocking: such a write fails with EAGAIN while the reader is
// behind, having written nothing, and the tool waits for room and writes
// the same bytes again.  Windows has no non-blocking pipe or console of
// that kind.  The WebAssembly module writes through its host, whose write
// waits for a slow reader itself (wasm/node/quobi-pascal.js).
static void
write_all(const char *bytes, std::size_t size)
{
	while (size > 0) {
#ifdef _WIN32
		int written = _write(1, bytes, static_cast<unsigned>(size));
#else
		ssize_t written = write(STDOUT_FILENO, bytes, size);
#endif
		if (written < 0) {
#if !defined(_WIN32) && !defined(__wasi__)
			if (reader_is_behind(errno)) {
				wait_for_reader();
				continue;
			}
#endif
			write_error(errno);
		}
		bytes += written;
		size -= static_cast<std::size_t>(written);
	}
}

#if !defined(_WIN32) && !defined(__wasi__)
// Whether a write failed with errnum only because a non-blocking output
// has no room now.
static bool
reader_is_behind(int errnum)
{
#if EWOULDBLOCK != EAGAIN
	return errnum == EAGAIN || errnum == EWOULDBLOCK;
#else
	return errnum == EAGAIN;
#endif
}

// Waits until standard output takes more, or has failed: a reader that has
// gone wakes it too, and the next write reports that.  Should poll itself
// fail, the next write tries again.
static void
wait_for_reader()
{
	struct pollfd output = {STDOUT_FILENO, POLLOUT, 0};
	poll(&output, 1, -1);
}
#endif
