#include "shell/stream_log_sink.h"

namespace tavrin {

void TStreamLogSink::AddLine(const std::string& Line) {
  FOut << Line << '\n';
  FOut.flush();
}

}  // namespace tavrin
