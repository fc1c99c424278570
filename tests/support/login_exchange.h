#pragma once
// The requests of a login of the demo user admin on a fresh connection, byte for byte as
// the project's client sends them (without the optional opening probe), and the reply
// that ends the exchange: for tests that speak to a server over a bare socket.

namespace tavrin::testing {

inline constexpr char kLoginConnect[] = R"({"method":"connect","params":[{}]})";
inline constexpr char kLoginPrepare[] =
    R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod","TvxServerMethods8765.FazerLogin"]})";
// The prepare reply ends with the return parameter's description.
inline constexpr char kLoginPrepareReplyEnd[] = R"("ReturnParameter",0,0,0]]}]})";
// The parameter row: text "admin", text "zul123", a null for the result.
inline constexpr char kLoginExecute[] =
    "{\"method\":\"execute\",\"params\":[{\"handle\":[0]},{\"data\":[14,\x25" "admin\x26" "zul123\xC0]}]}";
// The two inputs as nulls, then the level: integer 9.
inline constexpr char kLoginExecuteReply[] = "{\"result\":[{\"data\":[4,\xC0\xC0" "a\x09]}]}";

}  // namespace tavrin::testing
