#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  const int rc = brumkey::cli::Main(args, std::cout, std::cerr);
  std::cout.flush();
  return rc;
}
