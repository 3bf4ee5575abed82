// Every input of the fuzz targets' corpora through its target's check, so
// that a fault found once by fuzzing stays found on every build.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "fuzz/fuzz_checks.h"
#include "fuzz_corpus.h"

TEST(FuzzCorpus, EveryInputPassesItsCheck)
{
	using Check = std::string (*)(const std::uint8_t *, std::size_t);
	const std::map<std::string, Check> checks = {{"number-text", check_number_text},
	    {"mirrored-numbers", check_mirrored_numbers}, {"centered-line", check_centered_line}};
	std::map<std::string, int> inputs;
	for (std::size_t i = 0; i < corpus_input_count; i++) {
		const CorpusInput &input = corpus_inputs[i];
		auto check = checks.find(input.target);
		ASSERT_NE(check, checks.end()) << "a corpus with no check: " << input.target;
		EXPECT_EQ(check->second(input.data, input.size), "")
		    << input.target << "/" << input.name;
		inputs[input.target]++;
	}
	for (const auto &check : checks)
		EXPECT_GT(inputs[check.first], 0) << "no input for " << check.first;
}
