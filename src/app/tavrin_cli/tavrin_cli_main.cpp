// tavrin-cli: the operator's command-line client (see app/cli_command_line.h).

#include <iostream>

#include "app/tavrin_cli/command_line.h"

int main(int argc, char** argv) { return tavrin::cli::RunCommandLine(argc, argv, std::cout, std::cerr); }
