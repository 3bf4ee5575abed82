// A libFuzzer target: the check that FUZZ_CHECK names, of fuzz_checks.h,
// on every input; a fault ends the run, and libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int
LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	std::string fault = FUZZ_CHECK(data, size);
	if (!fault.empty()) {
		std::fprintf(stderr, "%s\n", fault.c_str());
		std::abort();
	}
	return 0;
}
