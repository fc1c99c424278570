#include "shell/activity_log.h"

#include <algorithm>

namespace tavrin {

std::string LogTimestamp(const platform::TLocalDateTime& When, platform::IRegionalFormat& Format) {
  std::string Stamp = Format.ShortDate(When);
  if (!When.IsMidnight()) Stamp += ' ' + Format.LongTime(When);
  return Stamp;
}

void TActivityLog::Append(std::string_view Message) noexcept {
  // Writing to the log never fails for the writer: whatever goes wrong here (no memory,
  // a sink's error) costs at most this line, and the log has no one to report it to.
  try {
    const std::lock_guard Guard(FLock);
    std::string Line = LogTimestamp(FClock.Now(), FFormat);
    Line += Message;
    for (IActivityLogSink* Sink : FSinks) {
      try {
        Sink->AddLine(Line);
      } catch (...) {  // the other sinks still get the line
      }
    }
  } catch (...) {
  }
}

void TActivityLog::Attach(IActivityLogSink& Sink) {
  const std::lock_guard Guard(FLock);
  FSinks.push_back(&Sink);
}

void TActivityLog::Detach(IActivityLogSink& Sink) {
  const std::lock_guard Guard(FLock);
  std::erase(FSinks, &Sink);
}

}  // namespace tavrin
