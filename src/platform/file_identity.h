#pragma once
// Which file a path names right now: the device (volume) and the file's number on it.
// Two looks at the same path give different identities when the file was replaced in
// between (written anew under the same name, or another file moved over it), even when
// name, size and time agree. On POSIX the device and inode numbers; on Windows the
// volume serial number and the file index.

#include <cstdint>
#include <optional>
#include <string>

namespace tavrin::platform {

struct TFileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Index = 0;
  friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};

// The identity of the regular file at Path (UTF-8, as the system takes it: see
// NativePath); nothing when there is none there, it is a folder, or it cannot be looked
// at.
std::optional<TFileIdentity> FileIdentityOf(const std::string& Path);

}  // namespace tavrin::platform
