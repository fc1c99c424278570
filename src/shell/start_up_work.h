#pragma once
// What the main window's first activation does, step by step, as an interface the
// window calls on its own thread: the program wires it to the data folder, address and
// log code; tests replace it. Texts are UTF-8.

#include <optional>
#include <string>

namespace tavrin {

class IStartUpWork {
 public:
  virtual ~IStartUpWork() = default;
  // Finds the data folder (may show the input box and the "Erro" box). nullopt when the
  // folder lacks the product's database and the program must end with exit code 0.
  virtual std::optional<std::string> ResolveDataFolder() = 0;
  // The machine's address on the local network (or the text saying it is unknown).
  virtual std::string LanAddress() = 0;
  // Writes " - Servidor inicializado" to the activity log.
  virtual void LogServerStarted() = 0;
  // The public address, or "Não disponível"; blocks until the services answered.
  virtual std::string InternetAddress() = 0;
  // Opens the port-check page in the system's browser; reports nothing on failure.
  virtual void OpenPortCheckPage() = 0;
};

}  // namespace tavrin
