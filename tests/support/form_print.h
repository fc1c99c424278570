#pragma once
// How GoogleTest prints the form's bounds in a failure: left, top, width, height.

#include <ostream>

#include "shell/main_form.h"

namespace tavrin::form {

inline void PrintTo(const TBounds& Bounds, std::ostream* Out) {
  *Out << '{' << Bounds.Left << ", " << Bounds.Top << ", " << Bounds.Width << ", " << Bounds.Height << '}';
}

}  // namespace tavrin::form
