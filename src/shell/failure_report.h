#pragma once
// What both windows do with a failure inside an event handler: nothing may leave the
// toolkit's handler, so the failure's message goes to the window's error report.

#include <functional>
#include <string>

namespace tavrin::shell {

// Runs Step; a failure escaping it goes to Report as its message ("Erro desconhecido"
// for one that is not a standard exception). Report itself must not fail.
void RunReportingFailure(const std::function<void()>& Step,
                         const std::function<void(const std::string& Message)>& Report);

}  // namespace tavrin::shell
