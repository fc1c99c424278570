#pragma once
// Dates and times written the way the user's regional settings say: the short date
// format and the long time format. Windows asks the system at every call, so a change
// of the settings shows at the next line; elsewhere the C library's formats of the
// locale named by the environment (LC_ALL, LC_TIME, LANG) are read once, at
// construction.

#include <memory>
#include <string>

#include "platform/local_clock.h"

namespace tavrin::platform {

class IRegionalFormat {
 public:
  virtual ~IRegionalFormat() = default;
  // Both return UTF-8 text; the object may be used from one thread at a time.
  virtual std::string ShortDate(const TLocalDateTime& When) = 0;
  virtual std::string LongTime(const TLocalDateTime& When) = 0;
};

class TSystemRegionalFormat final : public IRegionalFormat {
 public:
  // The user's settings.
  TSystemRegionalFormat();
  // The settings of a named locale ("C", "pt_BR.UTF-8"; on Windows "pt-BR"). A name the
  // system does not know gives the "C" locale's formats (Windows: the user's).
  explicit TSystemRegionalFormat(const std::string& LocaleName);
  ~TSystemRegionalFormat() override;
  TSystemRegionalFormat(const TSystemRegionalFormat&) = delete;
  TSystemRegionalFormat& operator=(const TSystemRegionalFormat&) = delete;

  std::string ShortDate(const TLocalDateTime& When) override;
  std::string LongTime(const TLocalDateTime& When) override;

 private:
  struct TLocale;  // the system's handle or name of the locale
  std::unique_ptr<TLocale> FLocale;
};

}  // namespace tavrin::platform
