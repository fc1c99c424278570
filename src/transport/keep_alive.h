#pragma once
// The transport's TCP keep-alive choice.

namespace tavrin {

// kaDefault leaves a socket's keep-alive as the system sets it; kaEnabled switches it
// on with the transport's time and interval; kaDisabled switches it off.
enum class TKeepAliveEnablement { kaDefault, kaEnabled, kaDisabled };

}  // namespace tavrin
