// The inputs of the fuzz targets' corpora, which the build puts into the
// test binary.
#ifndef FUZZ_CORPUS_H
#define FUZZ_CORPUS_H

#include <cstddef>

struct CorpusInput {
	const char *target;  // the corpus's folder: the fuzz target's name
	const char *name;    // the input's file
	const unsigned char *data;
	std::size_t size;
};

extern const CorpusInput corpus_inputs[];
extern const std::size_t corpus_input_count;

#endif
