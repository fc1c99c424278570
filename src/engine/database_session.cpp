#include "engine/database_session.h"

#include <algorithm>

namespace tavrin {

std::string TSession::NetFileDir() const {
  std::lock_guard Lock(FMutex);
  return FNetFileDir;
}

void TSession::SetNetFileDir(std::string Folder) {
  std::lock_guard Lock(FMutex);
  FNetFileDir = std::move(Folder);
}

void TSession::AddPassword(std::string Password) {
  std::lock_guard Lock(FMutex);
  if (std::find(FPasswords.begin(), FPasswords.end(), Password) == FPasswords.end()) {
    FPasswords.push_back(std::move(Password));
    PasswordsChanged();
  }
}

void TSession::RemovePassword(std::string_view Password) {
  std::lock_guard Lock(FMutex);
  if (std::erase(FPasswords, Password) > 0) PasswordsChanged();
}

void TSession::RemoveAllPasswords() {
  std::lock_guard Lock(FMutex);
  if (!FPasswords.empty()) PasswordsChanged();
  FPasswords.clear();
}

std::vector<std::string> TSession::Passwords() const {
  std::lock_guard Lock(FMutex);
  return FPasswords;
}

TSession& Session() {
  static TSession Instance;
  return Instance;
}

}  // namespace tavrin
