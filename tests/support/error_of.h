#pragma once
// Runs an action that must raise a TDBXError and hands the error back for inspection.

#include <gtest/gtest.h>

#include <functional>

#include "vocabulary/dbx_error.h"

namespace tavrin {

inline TDBXError ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const TDBXError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return TDBXError(0, "");
}

}  // namespace tavrin
