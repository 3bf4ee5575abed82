// Display of the triangle table on standard output, in the plain layout or
// centred on the screen.
#ifndef DISPLAY_H
#define DISPLAY_H

// Size of gline_buf, terminator included.
inline constexpr int LINE_BUF_SIZE = 1040;

// The centred line composed last by center_buf, as a terminated string.
extern char gline_buf[LINE_BUF_SIZE];

// Composes row line_no into gline_buf: every number centred in a cell of
// cell_size characters, the odd blank to its right.  Returns the length of
// the line, or 0 when a number needs the whole cell or more.
int center_buf(int line_no, int cell_size);

// Writes rows 0 .. glines-1 to standard output, one line each.  The centred
// layout stops silently at the first line that does not fit on the screen.
void display_triangle();

#endif
