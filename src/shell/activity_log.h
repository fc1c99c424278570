#pragma once
// The operator's view of what the server does: lines of text, only ever appended, each
// the local date and time in the user's regional short-date and long-time formats (the
// date alone at exactly midnight) followed by a message beginning with " - ".
//
// Lines go to the attached sinks: the window's log box, the headless program's
// standard output. The log keeps nothing itself; a line written while no sink is
// attached is dropped.
//
// Threading: Append, Attach and Detach may be called from any thread. Appends are
// serialised: each line reaches every sink whole, one line at a time, in the order the
// writers handed them over, with its time stamp taken in that same order.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local_clock.h"
#include "product/remote_services.h"
#include "platform/regional_format.h"

namespace tavrin {

class IActivityLogSink {
 public:
  virtual ~IActivityLogSink() = default;
  // Takes one complete line (UTF-8, no line break). Called on the writer's thread with
  // the log's lock held: it must not call the log back, and should return quickly (a
  // window hands the line over to its own thread). An exception it raises is dropped.
  virtual void AddLine(const std::string& Line) = 0;
};

class TActivityLog final : public IActivityLogWriter {
 public:
  // Clock and Format must outlive the log; the log uses them under its lock only.
  TActivityLog(platform::ILocalClock& Clock, platform::IRegionalFormat& Format)
      : FClock(Clock), FFormat(Format) {}
  TActivityLog(const TActivityLog&) = delete;
  TActivityLog& operator=(const TActivityLog&) = delete;

  // Stamps Message with the current local date and time and hands the line to every
  // sink. Never raises: a line that cannot be built or delivered is dropped.
  void Append(std::string_view Message) noexcept override;

  // Sink receives every line appended from now on, until Detach. Attaching a sink
  // twice delivers each line to it twice.
  void Attach(IActivityLogSink& Sink);
  // Sink receives nothing once this returns (a line being delivered to it is waited
  // for), so the caller may destroy it then.
  void Detach(IActivityLogSink& Sink);

 private:
  platform::ILocalClock& FClock;
  platform::IRegionalFormat& FFormat;
  std::mutex FLock;  // serialises appends; guards FSinks and the use of FClock, FFormat
  std::vector<IActivityLogSink*> FSinks;
};

// The time stamp that begins a line: the short date, then, unless When is exactly
// midnight, a blank and the long time.
std::string LogTimestamp(const platform::TLocalDateTime& When, platform::IRegionalFormat& Format);

}  // namespace tavrin
