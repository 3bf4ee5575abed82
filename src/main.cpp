// Entry point of quobi-pascal, which prints Pascal's triangle.
#include "quobi-pascal.h"

int main(int argc, char *argv[])
{
	quobi_pascal_main(argc, argv);
}
