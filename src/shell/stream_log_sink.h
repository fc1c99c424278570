#pragma once
// An activity-log sink that writes each line, ended by a line break, to a stream (the
// headless program's standard output), flushing it so the line shows at once.

#include <ostream>

#include "shell/activity_log.h"

namespace tavrin {

class TStreamLogSink final : public IActivityLogSink {
 public:
  // Out must outlive the sink.
  explicit TStreamLogSink(std::ostream& Out) : FOut(Out) {}
  void AddLine(const std::string& Line) override;

 private:
  std::ostream& FOut;
};

}  // namespace tavrin
