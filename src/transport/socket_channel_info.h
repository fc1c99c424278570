#pragma once
// What the server knows about the client of a socket channel.

#include <cstdint>
#include <string>
#include <utility>

#include "dbxstream/channel.h"

namespace tavrin {

class TDBXSocketChannelInfo : public TDBXChannelInfo {
 public:
  // Id identifies the underlying connection; Info is the one-line description.
  TDBXSocketChannelInfo(std::uint64_t Id, std::string Info) : FId(Id), FInfo(std::move(Info)) {}

  std::uint64_t Id() const noexcept { return FId; }
  const std::string& Info() const noexcept { return FInfo; }

 private:
  std::uint64_t FId;
  std::string FInfo;
};

}  // namespace tavrin
