// Standard output: a block of the tool's own, in which the display composes
// its lines where they will be sent, written with the system's write call in
// whole blocks.
#ifndef OUTPUT_H
#define OUTPUT_H

#include <cstddef>

// Standard output is written in blocks of this size, so that a long run
// reaches a pipe or a file in few large writes.
inline constexpr std::size_t OUTPUT_BUFFER_SIZE = std::size_t(128) * 1024;

// The most that output_space gives at once: room for the longest line, with
// the scratch that composing it leaves.
inline constexpr std::size_t OUTPUT_ROOM = std::size_t(24) * 1024;

// Where the next size bytes of output go; size is at most OUTPUT_ROOM.  What
// is written there is output once output_commit is told where it ends.
char *output_space(std::size_t size);

// The bytes from the last output_space up to end are output; whole blocks
// of them are written at once.
void output_commit(const char *end);

// Writes everything output so far that is not written yet.  A write that
// fails ends the process with the write-error message.
void flush_output();

#endif
