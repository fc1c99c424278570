#pragma once
// What the benchmarks on the product's server share: a demo data folder of their own,
// removed at the end, an activity log that goes nowhere (they measure the server, not a
// terminal), and the product's server over a folder on an ephemeral port.

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "demo_data/demo_data.h"
#include "engine/database_messages.h"
#include "engine/database_session.h"
#include "product/remote_services.h"
#include "product/server_container.h"

namespace tavrin {

class TDiscardingLog : public IActivityLogWriter {
 public:
  void Append(std::string_view) noexcept override {}
};

// A fresh demo data folder under the system's temporary folder, named from Prefix.
class TBenchDemoFolder {
 public:
  explicit TBenchDemoFolder(std::string_view Prefix)
      : FPath(std::filesystem::temp_directory_path() /
              (std::string(Prefix) + std::to_string(std::random_device{}()))) {
    CreateDemoData(FPath.string());
  }
  ~TBenchDemoFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  TBenchDemoFolder(const TBenchDemoFolder&) = delete;
  TBenchDemoFolder& operator=(const TBenchDemoFolder&) = delete;

  std::string Path() const { return FPath.string(); }
  std::string DatabaseFile() const { return (FPath / TDatabaseFiles::kDatabaseFileName).string(); }

 private:
  std::filesystem::path FPath;
};

// The product's server over DataFolder, on an ephemeral port, its log discarded.
struct TBenchProductServer {
  explicit TBenchProductServer(std::string Folder) : DataFolder(std::move(Folder)) {}
  TDiscardingLog Log;
  TSession DatabaseSession;
  const std::string DataFolder;
  TServerMethodsServices Services{Log, [this] { return DataFolder; }, DatabaseSession,
                                  [](const std::string&) { return false; }};
  TServerContainer1 Container{Services, {.Port = 0}};
};

}  // namespace tavrin
