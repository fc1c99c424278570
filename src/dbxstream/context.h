#pragma once
// What a stream reader reports to: it raises the reader's errors and takes its trace
// lines. One context per connection; used only by that connection's thread.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "vocabulary/dbx_error.h"

namespace tavrin {

class TDBXContext {
 public:
  // Trace level and trace flag under which the reader traces each refill.
  static constexpr std::int32_t kTraceLevelReads = 1;
  static constexpr std::int32_t kTraceFlagReads = 256;

  // Sees every error before it is raised (for logging); it may itself raise instead.
  using TErrorHook = std::function<void(const TDBXError& Error)>;
  // Receives trace lines; UTF-8.
  using TTraceSink = std::function<void(std::string_view Line)>;

  // Passes the error to the hook, if any, then raises it as TDBXError. Never returns.
  [[noreturn]] void Error(std::int32_t ErrorCode, const std::string& Message) const;

  void SetErrorHook(TErrorHook Hook) { FErrorHook = std::move(Hook); }
  void SetTraceSink(TTraceSink Sink) { FTraceSink = std::move(Sink); }
  void SetTraceLevel(std::int32_t Level) { FTraceLevel = Level; }
  void SetTraceFlags(std::int32_t Flags) { FTraceFlags = Flags; }

  // True when refills are to be traced and there is a sink to take the lines.
  bool IsTracing() const noexcept;

  // Hands one line to the sink; does nothing without a sink.
  void Trace(std::string_view Line) const;

 private:
  TErrorHook FErrorHook;
  TTraceSink FTraceSink;
  std::int32_t FTraceLevel = 0;
  std::int32_t FTraceFlags = 0;
};

}  // namespace tavrin
