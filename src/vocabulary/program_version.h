#pragma once
// The version the programs report (--version).

namespace tavrin {

inline constexpr char kProgramVersion[] = "0.5.0";

}  // namespace tavrin
