// Entry point of quobi-pascal, which prints Pascal's triangle.
#include "quobi-pascal.h"

#ifdef _WIN32
#include <cstdlib>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static char *utf8(const wchar_t *text);

// Windows keeps the command line as Unicode text.  main would receive it in
// the ANSI code page, converted with "best fit", which turns a fullwidth,
// superscript or subscript digit into an ASCII one; wmain receives the
// characters as typed, and they reach the command-line rule as UTF-8, in
// which no character but the ten ASCII digits has a digit's byte.
int
wmain(int argc, wchar_t *wargv[])
{
	char **argv = static_cast<char **>(std::calloc(std::size_t(argc) + 1, sizeof(char *)));
	if (argv == nullptr)
		out_of_memory();
	for (int i = 0; i < argc; i++)
		argv[i] = utf8(wargv[i]);
	quobi_pascal_main(argc, argv);
}

// text as UTF-8; a lone surrogate, which no typed text holds, becomes the
// replacement character.
static char *
utf8(const wchar_t *text)
{
	int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
	char *bytes = static_cast<char *>(std::calloc(std::size_t(size) + 1, 1));
	if (bytes == nullptr)
		out_of_memory();
	WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, nullptr, nullptr);
	return bytes;
}
#else
int
main(int argc, char *argv[])
{
	quobi_pascal_main(argc, argv);
}
#endif
