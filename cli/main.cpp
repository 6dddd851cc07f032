// quorvel-strip: hides a text in a strip picture, or reads one back, from
// the command line.
#include "cli/strip_tool.h"

int main(int argc, char* argv[]) { return quorvel::cli::StripToolMain(argc, argv); }
