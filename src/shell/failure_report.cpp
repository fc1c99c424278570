#include "shell/failure_report.h"

#include <exception>

#include "shell/shell_constants.h"

namespace tavrin::shell {

void RunReportingFailure(const std::function<void()>& Step,
                         const std::function<void(const std::string& Message)>& Report) {
  try {
    Step();
  } catch (const std::exception& Error) {
    Report(Error.what());
  } catch (...) {
    Report(std::string(kUnknownFailureMessage));
  }
}

}  // namespace tavrin::shell
