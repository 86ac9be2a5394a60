// The runner's error type: what went wrong, where, and the exit code the
// process ends with. Thrown anywhere in the runner, caught once in main.
#pragma once

#include <stdexcept>
#include <string>

namespace runner {

enum ExitCode : int {
  kExitDone = 0,
  kExitModuleFailed = 1,  // refused host, failed registration, Execute false, misuse or leak
  kExitInput = 2,         // usage or input error
  kExitOutput = 4,        // the output could not be written
};

class Failure : public std::runtime_error {
 public:
  Failure(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode Code() const { return code_; }

 private:
  ExitCode code_;
};

inline Failure InputError(const std::string& message) { return Failure(kExitInput, message); }
inline Failure ModuleError(const std::string& message) {
  return Failure(kExitModuleFailed, message);
}
inline Failure OutputError(const std::string& message) { return Failure(kExitOutput, message); }

}  // namespace runner
