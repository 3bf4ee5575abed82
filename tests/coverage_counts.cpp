// In the coverage build, linked with --wrap for _Exit, _exit and
// __assert_fail: a run that ends through _Exit, as the tool's write errors
// do, through _exit, as the tests' children do, or through a failed
// assertion, as the tests of the preconditions make it, writes its
// coverage counts first, as exit() would have.  The names are the ones
// that libgcov and the linker's --wrap give, reserved as they are.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
void __gcov_dump();
[[noreturn]] void __real__Exit(int status);
[[noreturn]] void __wrap__Exit(int status);
[[noreturn]] void __real__exit(int status);
[[noreturn]] void __wrap__exit(int status);
[[noreturn]] void __real___assert_fail(const char *assertion, const char *file,
    unsigned line, const char *function);
[[noreturn]] void __wrap___assert_fail(const char *assertion, const char *file,
    unsigned line, const char *function);
}

void
__wrap__Exit(int status)
{
	__gcov_dump();
	__real__Exit(status);
}

void
__wrap__exit(int status)
{
	__gcov_dump();
	__real__exit(status);
}

void
__wrap___assert_fail(const char *assertion, const char *file, unsigned line,
    const char *function)
{
	__gcov_dump();
	__real___assert_fail(assertion, file, line, function);
}
// NOLINTEND(bugprone-reserved-identifier)
