#include "app/command_line.h"

int main(int argc, char** argv) { return RunCommandLine(ArgumentsFromUtf8(argc, argv)); }
