// The run sequence of quobi-pascal: its settings, its command line and the
// way it ends, normally or with an error.
#ifndef QUOBI_PASCAL_H
#define QUOBI_PASCAL_H

// The tool checks its own preconditions with assert() in every build.
#ifdef NDEBUG
#error "quobi-pascal keeps its assertions active; build it without NDEBUG"
#endif

// The largest line count accepted, and the number of row slots in the table.
inline constexpr int MAX_LINES = 1000;

// The name printed in the usage text and in every message.
inline constexpr const char *prog_name = "quobi-pascal";

// Settings shared by the whole program.  The run sequence sets glines and
// centered from the command line and keeps screen_columns within 0 to 999;
// the display may widen the cells.
extern int glines;          // lines to display; rows 0 .. glines-1 are built
extern int gcell_size;      // width of a number cell in the centred layout
extern int screen_columns;  // screen width for the centred layout
extern int centered;        // nonzero: centred layout; zero: plain layout

// Runs the tool on its command line and ends the process with its status.
[[noreturn]] void quobi_pascal_main(int argc, char *argv[]);

// Prints the usage text and ends the process with status 2.
[[noreturn]] void usage();

// Reports that memory ran out and ends the process with status 2.
[[noreturn]] void out_of_memory();

// Reports a failed write to standard output, with the errno value it set,
// and ends the process with status 2.
[[noreturn]] void write_error(int errnum);

#endif
