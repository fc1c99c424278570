#pragma once
// The report of a server that could not start, as the operator sees it: the caption
// "Application Error", then the failure's class and message.

#include <exception>
#include <string>

namespace tavrin {

// "Application Error: <class>: <message>".
std::string StartFailureText(const std::exception& Error);

}  // namespace tavrin
