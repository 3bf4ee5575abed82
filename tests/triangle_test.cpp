// The numerics of the triangle table, checked against exact integer
// binomials and the log-gamma function, and its allocation.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "quobi-pascal.h"
#include "test_support.h"
#include "triangle.h"

// The test binary is linked with --wrap=calloc, so that the table's
// allocations come here.  Once armed, the wrapper records the size of each
// request and fails the given one, then disarms itself: what the process
// does as it exits may allocate too, as Windows' C runtime does.
static bool calloc_armed = false;
static int callocs_before_failure = -1;
static std::vector<size_t> calloc_sizes;

extern "C" void *__real_calloc(size_t count, size_t size);  // NOLINT
extern "C" void *
__wrap_calloc(size_t count, size_t size)  // NOLINT
{
	if (calloc_armed) {
		if (callocs_before_failure == 0) {
			calloc_armed = false;
			return nullptr;
		}
		callocs_before_failure--;
		calloc_sizes.push_back(count * size);
	}
	return __real_calloc(count, size);
}

// Exact binomial coefficients C(n, k) for rows 0 .. 60, all below 2^63.
static std::vector<std::vector<uint64_t>>
exact_binomials()
{
	std::vector<std::vector<uint64_t>> c(61);
	for (int n = 0; n <= 60; n++) {
		c[n].assign(n + 1, 1);
		for (int k = 1; k < n; k++)
			c[n][k] = c[n - 1][k - 1] + c[n - 1][k];
	}
	return c;
}

class TriangleTest : public SettingsTest {
protected:
	void SetUp() override
	{
		SettingsTest::SetUp();
		build_full_table();
	}
	// Read by the tests below, which cppcheck 2.17 does not see.
	// cppcheck-suppress unusedStructMember
	const std::vector<std::vector<uint64_t>> c = exact_binomials();
};

TEST_F(TriangleTest, RowsUpTo56AreExactBinomials)
{
	EXPECT_EQ(garray[0][0], 1.0);
	for (int n = 1; n <= 56; n++)
		for (int k = 0; k <= n; k++)
			ASSERT_EQ(static_cast<uint64_t>(garray[n][k]), c[n][k])
			    << "row " << n << ", entry " << k;
}

TEST_F(TriangleTest, EveryRowIsSymmetricWithOnesAtTheEnds)
{
	for (int n = 0; n < MAX_LINES; n++) {
		ASSERT_EQ(garray[n][0], 1.0) << "row " << n;
		ASSERT_EQ(garray[n][n], 1.0) << "row " << n;
		for (int k = 0; k <= n; k++)
			ASSERT_EQ(garray[n][k], garray[n][n - k])
			    << "row " << n << ", entry " << k;
	}
}

// Row 57 holds the first rounded sums: entries 25 and 32 are one above the
// binomial, an odd value halfway between two doubles that rounds up to even.
TEST_F(TriangleTest, Row57HasExactlyTwoEntriesRoundedUp)
{
	std::vector<int> rounded;
	for (int k = 0; k <= 57; k++) {
		auto entry = static_cast<uint64_t>(garray[57][k]);
		if (entry != c[57][k]) {
			rounded.push_back(k);
			EXPECT_EQ(entry, c[57][k] + 1) << "entry " << k;
		}
	}
	EXPECT_EQ(rounded, (std::vector<int>{25, 32}));
}

// The first place, in row and then entry order, where the table leaves the
// binomial rounded to a double, and where its printed text leaves the
// binomial's printed text.
TEST_F(TriangleTest, FirstDeparturesFromTheBinomials)
{
	std::pair<int, int> first_value = {-1, -1}, first_text = {-1, -1};
	for (int n = 0; n <= 60; n++)
		for (int k = 0; k <= n; k++) {
			auto binomial = static_cast<double>(c[n][k]);
			if (first_value.first < 0 && garray[n][k] != binomial)
				first_value = {n, k};
			if (first_text.first < 0 &&
			    printf_text(garray[n][k]) != printf_text(binomial))
				first_text = {n, k};
		}
	EXPECT_EQ(first_value, std::make_pair(58, 25));
	EXPECT_EQ(first_text, std::make_pair(60, 27));
	EXPECT_EQ(printf_text(garray[60][27]), "8.80048022641748e+16");
	EXPECT_EQ(printf_text(garray[60][33]), "8.80048022641748e+16");
	EXPECT_EQ(printf_text(static_cast<double>(c[60][27])), "8.80048022641747e+16");
}

// The rounding of a thousand rows of sums stays far below this bound, and no
// entry overflows: the largest, C(999, 499), is about 1.35e299.
TEST_F(TriangleTest, AllRowsStayCloseToTheBinomials)
{
	for (int n = 57; n < MAX_LINES; n++)
		for (int k = 0; k <= n; k++) {
			double binomial = std::exp(std::lgamma(n + 1.0) -
			    std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
			ASSERT_TRUE(std::isfinite(garray[n][k]));
			ASSERT_NEAR(garray[n][k] / binomial, 1.0, 1e-9)
			    << "row " << n << ", entry " << k;
		}
	EXPECT_EQ(printf_text(garray[999][499]).substr(0, 4), "1.35");
	EXPECT_EQ(printf_text(garray[999][499]).substr(16), "e+299");
}

// The allocation tests run the table's code in a forked child, whose calloc
// the test arms.
class AllocationTest : public SettingsTest {
protected:
	void SetUp() override
	{
		SettingsTest::SetUp();
		SKIP_IF_MISSING(missing_fork);
	}
};

// Small tables and the largest alike.
TEST_F(AllocationTest, EveryRowIsItsOwnZeroFilledAllocation)
{
	for (int lines : {5, MAX_LINES}) {
		ChildResult result = run_in_child([lines] {
			glines = lines;
			calloc_armed = true;
			allocate_triangle();
			calloc_armed = false;
			int wrong_sizes = 0, nonzero_values = 0;
			for (int i = 0; i < glines; i++) {
				wrong_sizes += calloc_sizes.at(i) != (i + 1) * sizeof(double);
				for (int j = 0; j <= i; j++)
					nonzero_values += garray[i][j] != 0.0;
			}
			std::printf("%zu allocations, %d of the wrong size, %d values not zero",
			    calloc_sizes.size(), wrong_sizes, nonzero_values);
		});
		EXPECT_EQ(result.status, "exit 0");
		EXPECT_EQ(result.out, std::to_string(lines) +
		    " allocations, 0 of the wrong size, 0 values not zero");
	}
}

// Memory that runs out at the first row, in the middle of the table or at its
// last row ends the run with the message and nothing on standard output.
TEST_F(AllocationTest, FailureEndsTheRunWithTheMessage)
{
	const struct {
		const char *count;
		int callocs_before_failure;
	} cases[] = {{"1", 0}, {"1000", 0}, {"1000", 500}, {"1000", 999}};

	for (const auto &c : cases) {
		ChildResult result = run_in_child([&] {
			char name[] = "quobi-pascal";
			std::string count = c.count;
			char *argv[] = {name, count.data(), nullptr};
			calloc_armed = true;
			callocs_before_failure = c.callocs_before_failure;
			quobi_pascal_main(2, argv);
		});
		SCOPED_TRACE(std::string(c.count) + " lines, failing after " +
		    std::to_string(c.callocs_before_failure));
		EXPECT_EQ(result.status, "exit 2");
		EXPECT_EQ(result.out, "");
		EXPECT_EQ(result.err, as_written("quobi-pascal: Not enough memory.\n"));
	}
}
