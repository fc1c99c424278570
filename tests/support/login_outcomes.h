#pragma once
// The demo data's users and what a login answers for each, one table for every layer
// that logs in: the server's methods, the container over TCP and the programs. A layer
// checks the answer and adds what it sees of its own (the log lines, the wire).

#include <cstdint>

namespace tavrin::testing {

// The log lines between the login's "connected" and "disconnected" lines.
enum class TLoginLines {
  Ok,               // login OK
  OkWithoutAccess,  // login OK, then the no-access line
  Wrong,            // the wrong-login line
};

struct TLoginOutcome {
  const char* User;
  const char* Password;
  std::int32_t Result;  // the level; -2 without access to stock control; 0 refused
  TLoginLines Lines;
  const char* Why;
};

inline constexpr TLoginOutcome kDemoLoginOutcomes[] = {
    {"admin", "ZUL123", 9, TLoginLines::Ok, "inactive flag null, letter case ignored"},
    {"Maria", "maria2024", 3, TLoginLines::Ok, "inactive flag false"},
    {"jo\u00e3o", "caf\u00e9", 5, TLoginLines::Ok, "only a to z raised"},
    {"carlos", "carlos1", -2, TLoginLines::OkWithoutAccess, "no access to stock control"},
    {"pedro", "pedro1", -2, TLoginLines::OkWithoutAccess, "access flag null"},
    {"antigo", "antigo1", 0, TLoginLines::Wrong, "inactive"},
    {"estagiario", "estag1", 0, TLoginLines::Ok, "level null"},
    {"lucia", "lucia1", 0, TLoginLines::Ok, "level zero"},
    {"maria", "wrong", 0, TLoginLines::Wrong, "wrong password"},
    {"nobody", "x", 0, TLoginLines::Wrong, "no such user"},
};

}  // namespace tavrin::testing
