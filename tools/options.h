// The command line of flatten-run.
#pragma once

#include <string>
#include <vector>

#include "tools/mesh.h"

namespace runner {

struct Options {
  std::string input;  // empty: the built-in demo mesh
  std::string output;  // empty: nothing written
  std::vector<std::string> select;  // empty: all
  bool matrixGiven = false;
  Matrix matrix = IdentityMatrix();
  std::string module;  // empty: flatten.so beside the runner
  bool json = false;
  bool checkUndo = false;
  bool quiet = false;
};

// Parses argv into options. Returns false when the run ends here with
// *exitCode: after --help or --version (0) or on a usage error (2, with the
// message and a usage line on stderr).
bool ParseOptions(int argc, char** argv, Options* options, int* exitCode);

}  // namespace runner
