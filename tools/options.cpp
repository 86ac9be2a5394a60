#include "tools/options.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "tools/failure.h"
#include "tools/obj_text.h"
#include "tools/version.h"

namespace runner {

namespace {

constexpr const char* kUsage = "Usage: flatten-run [options] [INPUT.obj]\n";

constexpr const char* kHelp =
    "\n"
    "Flattens every connected region of selected polygons of a mesh into its own\n"
    "plane, by loading the flatten module into the stand-in host and running its\n"
    "command as the host application does. Without INPUT it runs on a built-in\n"
    "demo mesh.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write the flattened mesh as OBJ (may be the input path:\n"
    "                        written to a temporary file and renamed, so a failure\n"
    "                        never leaves a half-written file)\n"
    "  --select SPEC         all (default) | none | index ranges such as\n"
    "                        0-99,250,300-310 (0-based, in file order) | group:NAME\n"
    "                        (OBJ g groups); repeatable, the union is selected\n"
    "  --matrix 12 numbers   the object's global matrix: offset, axisX, axisY, axisZ\n"
    "                        (default identity)\n"
    "  --module PATH         the module to load (default: flatten.so beside the runner)\n"
    "  --json                machine-readable report on stdout\n"
    "  --check-undo          undo the step afterwards and verify every point comes\n"
    "                        back bit for bit\n"
    "  -q, --quiet           no progress and no report\n"
    "  -h, --help            show this text\n"
    "  --version             show the runner's version\n"
    "\n"
    "Exit codes: 0 done; 1 the module failed (refused the host, failed to register,\n"
    "Execute returned false, or the stand-in host saw a leak or misuse); 2 usage or\n"
    "input error; 4 the output could not be written.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "flatten-run: error: %s\n%sRun 'flatten-run --help' for the options.\n",
               message.c_str(), kUsage);
  return kExitInput;
}

bool ParseMatrix(const std::vector<std::string>& texts, Matrix* matrix, std::string* problem) {
  float values[12];
  for (size_t i = 0; i < 12; ++i) {
    const std::string& t = texts[i];
    if (!ParseFloatToken(t.data(), t.data() + t.size(), &values[i])) {
      *problem = "--matrix: '" + t + "' (number " + std::to_string(i + 1) +
                 " of 12) is not a finite number";
      return false;
    }
  }
  Vector* axes[4] = {&matrix->offset, &matrix->axisX, &matrix->axisY, &matrix->axisZ};
  for (int k = 0; k < 4; ++k) *axes[k] = Vector{values[3 * k], values[3 * k + 1], values[3 * k + 2]};
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, int* exitCode) {
  CLI::App app("flatten-run", "flatten-run");
  app.set_help_flag();  // the help text is ours, below
  bool help = false, version = false;
  std::vector<std::string> matrix;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_option("-o,--output", options->output);
  app.add_option("--select", options->select)->allow_extra_args(false);
  app.add_option("--matrix", matrix)->expected(12)->allow_extra_args(true);
  app.add_option("--module", options->module);
  CLI::Option* json = app.add_flag("--json", options->json);
  app.add_flag("--check-undo", options->checkUndo);
  CLI::Option* quiet = app.add_flag("-q,--quiet", options->quiet);
  json->excludes(quiet);
  app.add_option("INPUT", options->input);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // CLI11 has exit codes of its own; every parse failure is a usage error.
    if (help) {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      *exitCode = kExitDone;
      return false;
    }
    *exitCode = UsageError(e.what());
    return false;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    *exitCode = kExitDone;
    return false;
  }
  if (version) {
    std::printf("flatten-run %s\n", kVersion);
    *exitCode = kExitDone;
    return false;
  }
  if (!matrix.empty()) {
    std::string problem;
    if (!ParseMatrix(matrix, &options->matrix, &problem)) {
      *exitCode = UsageError(problem);
      return false;
    }
    options->matrixGiven = true;
  }
  if (options->input.empty()) {
    const char* needsInput = !options->output.empty()  ? "--output"
                             : !options->select.empty() ? "--select"
                             : options->matrixGiven     ? "--matrix"
                                                        : nullptr;
    if (needsInput != nullptr) {
      *exitCode = UsageError(std::string(needsInput) +
                             " needs an INPUT file; without one the runner uses its built-in "
                             "demo mesh, which has its own selection and matrices");
      return false;
    }
  }
  return true;
}

}  // namespace runner
