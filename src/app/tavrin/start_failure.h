#pragma once
// The report of a server that could not start, as the operator sees it: the caption
// "Application Error", then the failure's class and message.

#include <exception>
#include <string>

namespace tavrin {

// "<class>: <message>": what the "Application Error" box shows.
std::string StartFailureMessage(const std::exception& Error);

// "Application Error: <class>: <message>": the same as one line on standard error.
std::string StartFailureText(const std::exception& Error);

}  // namespace tavrin
