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

// Writes the texts of values[0 .. count-1] one after the other from text,
// each followed by a blank, and returns their end; after it, it may leave
// scratch, up to NUMBER_TEXT_ROOM characters from where the last text
// begins.  Also writes the texts of mirror[0], mirror[-1], ...,
// mirror[-(count-1)], each followed by a blank, backward: mirror[0]'s and
// its blank end at mirror_end, mirror[-1]'s where that one begins, and so
// on; *mirror_start receives where the last one begins, and nothing is
// written before it or from mirror_end on.  So a row whose second half is
// the mirror image of its first formats each number once.
char *format_numbers_mirrored(const double *values, const double *mirror, int count, char *text,
    char *mirror_end, char **mirror_start);

// The same by the path of targets without 128-bit integers, for the tests.
char *format_numbers_mirrored_portable(const double *values, const double *mirror, int count,
    char *text, char *mirror_end, char **mirror_start);

#endif
