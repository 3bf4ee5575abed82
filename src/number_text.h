// The text printf's "%.15g" makes of a double, written into a caller's
// buffer: 15 significant digits, plain decimal form for decimal exponents
// from -4 to 14 and exponent form otherwise, trailing zeros dropped.
#ifndef NUMBER_TEXT_H
#define NUMBER_TEXT_H

// The longest text "%.15g" makes of a double, as in -1.23456789012345e-308.
inline constexpr int NUMBER_TEXT_MAX = 22;

// The room that format_number needs: it writes whole words, so it may leave
// scratch after the text, up to this many characters from its start.
inline constexpr int NUMBER_TEXT_ROOM = 24;

// Writes the "%.15g" text of value into text, which has room for
// NUMBER_TEXT_ROOM characters, and returns its length.  The text is not
// terminated.
int format_number(double value, char *text);

// The same text by the path of targets without 128-bit integers, which
// format_number takes there.  Elsewhere only the tests call it, so that
// both paths are proven on any machine.
int format_number_portable(double value, char *text);

#endif
