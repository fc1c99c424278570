#pragma once
// What the product's remote methods need from the shell around them, as small
// interfaces the shell implements: the operator's activity log and the data folder in
// use. The methods never reach the shell any other way.

#include <functional>
#include <string>
#include <string_view>

namespace tavrin {

// Takes one log message beginning with " - "; the writer adds the time stamp.
// Called from connection threads at the same time; must not raise.
class IActivityLogWriter {
 public:
  virtual ~IActivityLogWriter() = default;
  virtual void Append(std::string_view Message) noexcept = 0;
};

// Returns the data folder in use (empty while not known yet). Called from connection
// threads at the same time.
using TDataFolderSource = std::function<std::string()>;

}  // namespace tavrin
