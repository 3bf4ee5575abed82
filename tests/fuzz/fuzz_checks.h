// The checks that the fuzz targets make of every input that libFuzzer
// writes, and that the unit tests make again of every input in the corpus.
// Each returns what went wrong, or an empty string.  Doubles are read from
// the input as 8 bytes each, least significant first, so that an input
// means the same on every architecture.
#ifndef FUZZ_CHECKS_H
#define FUZZ_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>

// Every double of the input through format_number and
// format_number_portable, against snprintf's "%.15g"; neither may write
// outside the room it is given.
std::string check_number_text(const std::uint8_t *data, std::size_t size);

// The doubles after the first byte as a run through format_numbers_mirrored
// and format_numbers_mirrored_portable, against snprintf.  The mirror holds
// the same doubles, but where the first byte's bit (i mod 8) is set, the
// mirror of the i-th holds the next one; nothing may be written before
// either half or past the room each may use.
std::string check_mirrored_numbers(const std::uint8_t *data, std::size_t size);

// A row, a cell size, a line count and a screen width from the input:
// center_buf of that row and, where the C library can write standard output
// into memory, the whole centred display, against a model of the layout.
std::string check_centered_line(const std::uint8_t *data, std::size_t size);

#endif
