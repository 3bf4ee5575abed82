// The table of Pascal's triangle, computed row by row in double precision.
#include "triangle.h"

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

static void prefault_rows(std::size_t bytes);

double *garray[MAX_LINES];

void
allocate_triangle()
{
	assert(glines >= 1 && glines <= MAX_LINES);
	// Every row takes at most 24 bytes of bookkeeping besides its values.
	prefault_rows(std::size_t(glines) * (glines + 1) / 2 * sizeof(double) +
	    std::size_t(glines) * 24);
	for (int i = 0; i < glines; i++) {
		garray[i] = static_cast<double *>(std::calloc(i + 1, sizeof(double)));
		if (garray[i] == nullptr) {
			std::fprintf(stderr, "%s: Not enough memory.\n", prog_name);
			std::exit(2);
		}
	}
}

// Entries are exact binomial coefficients up to row 56.  From row 57 on some
// sums round to the nearest double, and later rows inherit the rounding: the
// printed table is defined by these additions, not by the binomial formula.
void
calculate_triangle()
{
	for (int i = 0; i < glines; i++) {
		double *row = garray[i];
		assert(row != nullptr);
		row[0] = 1.0;
		row[i] = 1.0;
		for (int j = 1; j < i; j++)
			row[j] = garray[i - 1][j - 1] + garray[i - 1][j];
	}
}

// Makes the memory of the rows present before they are allocated.  A
// 1000-row table spans 4 MB, and faulting it in page by page cost 11 ms on
// the machines this was measured on, as much as all the rest of the run;
// backed by 2 MiB pages where the kernel offers them, and populated in one
// call, it costs about 2 ms.  Tables below 256 KiB (about 250 rows) fault in
// within half a millisecond and are left alone.
//
// This relies on glibc's main heap: a probe block of the table's size is
// taken from the heap's top, prepared, and given back, and the rows are then
// carved from the same addresses in order.  Where the probe does not come
// from there (another allocator), or the kernel does not know the advice,
// nothing changes but the speed.
static void
prefault_rows(std::size_t bytes)
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
	if (bytes < std::size_t(256) * 1024 || bytes > std::size_t(INT32_MAX) / 2)
		return;
	// Keep the probe out of a mapping of its own, and keep its memory in
	// the heap when it is freed.
	mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * bytes));
	mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bytes));
	void *probe = std::malloc(bytes);
	auto first = reinterpret_cast<std::uintptr_t>(probe);
	auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
	std::uintptr_t start = (first + page - 1) & ~(page - 1);
	std::uintptr_t end = (first + bytes) & ~(page - 1);
	if (probe != nullptr && start < end &&
	    end <= reinterpret_cast<std::uintptr_t>(sbrk(0))) {
		char *region = static_cast<char *>(probe) + (start - first);
		madvise(region, end - start, MADV_HUGEPAGE);
		madvise(region, end - start, MADV_POPULATE_WRITE);
	}
	std::free(probe);
#else
	(void)bytes;
#endif
}
