// A sweep of generated command lines, each checked against a small model of
// the command-line rule written independently of the tool: more than one
// argument or a first character that is not an ASCII digit gets the usage
// text, a leading digit run whose value is outside 1..1000 the range message,
// and any other argument that many rows in the plain layout.
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quobi-pascal.h"
#include "test_support.h"

namespace {

struct Outcome {
	enum : unsigned char { centred, plain, usage, range } kind;
	int lines;
};

Outcome
model(const std::vector<std::string> &args)
{
	if (args.size() > 1)
		return {Outcome::usage, 0};
	if (args.empty())
		return {Outcome::centred, 0};
	const std::string &arg = args[0];
	size_t digits = 0;
	while (digits < arg.size() && arg[digits] >= '0' && arg[digits] <= '9')
		digits++;
	if (digits == 0)
		return {Outcome::usage, 0};
	// The value of the digits, compared as a string: leading zeros off,
	// then no more than four digits and no more than "1000".
	std::string value = arg.substr(0, digits);
	value.erase(0, value.find_first_not_of('0'));
	if (value.empty() || value.size() > 4 || std::stoi(value) > MAX_LINES)
		return {Outcome::range, 0};
	return {Outcome::plain, std::stoi(value)};
}

#ifdef _WIN32
// Character c in UTF-8.
std::string
utf8(char32_t c)
{
	if (c < 0x80)
		return std::string(1, char(c));
	if (c < 0x800)
		return {char(0xc0 | c >> 6), char(0x80 | (c & 0x3f))};
	if (c < 0x10000)
		return {char(0xe0 | c >> 12), char(0x80 | (c >> 6 & 0x3f)), char(0x80 | (c & 0x3f))};
	return {char(0xf0 | c >> 18), char(0x80 | (c >> 12 & 0x3f)),
	    char(0x80 | (c >> 6 & 0x3f)), char(0x80 | (c & 0x3f))};
}
#endif

class ArgumentMaker {
public:
	std::string digits(size_t length)
	{
		std::string text;
		for (size_t i = 0; i < length; i++)
			text += char('0' + pick(10));
		return text;
	}

#ifdef _WIN32
	// Windows arguments are UTF-16 text, which a byte string that is not
	// UTF-8 cannot be: there the random bytes are UTF-8 characters, half
	// of them ASCII.
	std::string bytes(size_t length)
	{
		std::string text;
		while (text.size() < length) {
			char32_t c = pick(2) ? 1 + pick(127) : 128 + pick(0x10ff80);
			if (c >= 0xd800 && c <= 0xdfff)
				continue;  // surrogates are halves, not characters
			text += utf8(c);
		}
		return text;
	}
#else
	std::string bytes(size_t length)  // any bytes but NUL
	{
		std::string text;
		for (size_t i = 0; i < length; i++)
			text += char(1 + pick(255));
		return text;
	}
#endif

	std::string zeros() { return std::string(pick(4), '0'); }

	std::string suffix()
	{
		return one_of({"", "x", ".5", "e3", " 7", "\t", "-1", "\xc3\xbf",
		    "\xef\xbc\x95", "\xd9\xa3", "0", "\n"});
	}

	std::string one_of(const std::vector<std::string> &choices)
	{
		return choices[pick(choices.size())];
	}

	size_t pick(size_t n) { return random_() % n; }

private:
	std::mt19937_64 random_{1000};
};

using ArgumentVectors = std::vector<std::vector<std::string>>;

// The classes of generated command lines, a few thousand in all; each class
// is a test of its own, so that they run side by side.
struct SweepClass {
	const char *name;
	// cppcheck-suppress unusedStructMember
	ArgumentVectors (*make)(ArgumentMaker &make);
};

const SweepClass sweep_classes[] = {
    {"RandomBytes", [](ArgumentMaker &make) {
	     ArgumentVectors cases;
	     for (int i = 0; i < 600; i++)
		     cases.push_back({make.bytes(make.pick(24))});
	     return cases;
     }},
    {"DigitStringsUpTo100000Long", [](ArgumentMaker &make) {
	     ArgumentVectors cases;
	     for (size_t length : {1, 2, 3, 4, 5, 9, 10, 11, 19, 20, 21, 100,
		      1000, 10000, 100000}) {
		     if (length > longest_argument)
			     continue;
		     for (int i = 0; i < 20; i++)
			     cases.push_back({make.digits(length)});
	     }
	     return cases;
     }},
    {"SignsBlanksAndOtherDigits", [](ArgumentMaker &make) {
	     const std::vector<std::string> prefixes = {"-", "+", " ", "\t",
		 "\n", ".", "0x", "x", "\xef\xbc\x95", "\xd9\xa3", "\xc2\xb3",
		 "\xe2\x91\xa0", "\xe2\x81\xb5", "\xe2\x82\x85"};
	     ArgumentVectors cases;
	     for (int i = 0; i < 400; i++)
		     cases.push_back({make.one_of(prefixes) +
			 make.digits(1 + make.pick(4))});
	     return cases;
     }},
    {"DigitsFollowedByGarbage", [](ArgumentMaker &make) {
	     // Accepted counts print up to 10 MB each: most are kept small.
	     ArgumentVectors cases;
	     for (int i = 0; i < 500; i++)
		     cases.push_back({make.zeros() +
			 std::to_string(make.pick(i % 25 ? 100 : 1200)) +
			 make.suffix() + make.bytes(make.pick(3))});
	     return cases;
     }},
    {"ValuesAround1000And2To31And2To32", [](ArgumentMaker &make) {
	     ArgumentVectors cases;
	     for (long long limit : {1000LL, 2147483648LL, 4294967296LL,
		      4294967296LL + 1000, 8589934592LL})
		     for (long long delta = -12; delta <= 12; delta++)
			     cases.push_back({make.zeros() +
				 std::to_string(limit + delta) + make.suffix()});
	     return cases;
     }},
    {"ArgumentCountsFrom0To5", [](ArgumentMaker &make) {
	     ArgumentVectors cases;
	     for (int i = 0; i < 300; i++) {
		     std::vector<std::string> args(make.pick(6));
		     for (std::string &arg : args)
			     arg = make.pick(2) ? std::to_string(make.pick(100))
			                        : make.bytes(make.pick(8));
		     cases.push_back(args);
	     }
	     return cases;
     }},
};

// Names the class in test listings.
void
PrintTo(const SweepClass &sweep_class, std::ostream *out)
{
	*out << sweep_class.name;
}

// The plain layout of the first lines rows, built with printf as far as the
// sweep has needed it so far.
std::string
plain_text(int lines)
{
	static std::string text;
	static std::vector<size_t> line_ends;
	build_full_table();
	while (int(line_ends.size()) < lines) {
		text += printf_plain_line(int(line_ends.size()));
		line_ends.push_back(text.size());
	}
	return text.substr(0, line_ends[lines - 1]);
}

// The cases of a class that run: all of them, or under an emulator, where
// every start of the tool costs a start of the emulator, a sample of
// QUOBI_PASCAL_SWEEP_SAMPLE of them spread evenly over the class, the same
// sample every time.
ArgumentVectors
cases_to_run(const ArgumentVectors &cases)
{
#if QUOBI_PASCAL_SWEEP_SAMPLE > 0
	const size_t sample = QUOBI_PASCAL_SWEEP_SAMPLE;
	if (sample < cases.size()) {
		ArgumentVectors chosen;
		for (size_t k = 0; k < sample; k++)
			chosen.push_back(cases[k * cases.size() / sample]);
		return chosen;
	}
#endif
	return cases;
}

}  // namespace

class CommandLineSweep : public ::testing::TestWithParam<SweepClass> {};

TEST_P(CommandLineSweep, EveryArgumentVectorFollowsTheRule)
{
	SKIP_IF_MISSING(missing_processes);
	const ChildResult centred = run_tool({});
	ASSERT_EQ(centred.status, "exit 0");

	ArgumentMaker make;
	for (const std::vector<std::string> &args : cases_to_run(GetParam().make(make))) {
		Outcome expected = model(args);
		ChildResult result = run_tool(args);
		std::string out, err, status = "exit 2";
		switch (expected.kind) {
		case Outcome::centred:
			out = centred.out;
			status = "exit 0";
			break;
		case Outcome::plain:
			out = as_written(plain_text(expected.lines));
			status = "exit 0";
			break;
		case Outcome::usage:
			out = as_written(usage_text);
			break;
		case Outcome::range:
			err = as_written(range_error);
			break;
		}
		std::string shown;
		for (const std::string &arg : args)
			shown += " [" + arg.substr(0, 40) + "]";
		ASSERT_EQ(result.status, status) << shown;
		ASSERT_EQ(result.err, err) << shown;
		ASSERT_TRUE(result.out == out) << shown << ": standard output differs";
	}
}

INSTANTIATE_TEST_SUITE_P(Classes, CommandLineSweep,
    ::testing::ValuesIn(sweep_classes),
    [](const ::testing::TestParamInfo<SweepClass> &info) {
	    return std::string(info.param.name);
    });

// An empty argument vector, argc 0, is the run without an argument.  No
// system hands a program an empty vector (see
// run_tool_without_argument_vector), so the call is also made directly; an
// emulator cannot pass an empty vector on, so there the direct call is the
// only one.
TEST(CommandLine, NoArgumentVectorAtAll)
{
	SKIP_IF_MISSING(missing_fork);
	const ChildResult centred = run_tool({});
	std::vector<ChildResult> results = {run_in_child([] {
		char *argv[] = {nullptr};
		quobi_pascal_main(0, argv);
	})};
	if (tool_runs_natively)
		results.push_back(run_tool_without_argument_vector());
	for (const ChildResult &result : results) {
		EXPECT_EQ(result.status, "exit 0");
		EXPECT_EQ(result.err, "");
		EXPECT_EQ(result.out, centred.out);
	}
}
