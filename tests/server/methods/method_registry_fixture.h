#pragma once
// One connection's handler chain over memory with the server's connection handler over
// a real method registry, for preparing and calling methods without a socket; and
// small helpers to read a prepared method's parameters.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/methods/server_method_provider.h"
#include "server/methods/memory_connection.h"
#include "vocabulary/value_holders.h"

namespace tavrin::testing {

// A connection over memory serving a registry.
using TRegistryChain = TMemoryConnection;

// "Name D/Dir" per parameter, ", " between them, "v" after a value parameter's
// direction and "L" after a literal's: "A 26/1, ReturnParameter 6/4".
inline std::string Signature(const TDBXParameterList& Parameters) {
  std::string Text;
  for (const auto& P : Parameters) {
    if (!Text.empty()) Text += ", ";
    Text += P->Name() + " " + std::to_string(P->DataType()) + "/" + std::to_string(P->ParameterDirection());
    if (P->ValueParameter()) Text += "v";
    if (P->Literal()) Text += "L";
  }
  return Text;
}

template <typename THolder>
THolder& Holder(IDSPreparedServerMethod& Method, std::size_t Ordinal) {
  return dynamic_cast<THolder&>(*Method.Parameters().at(Ordinal)->Value());
}

// Invokes Method with no tables.
inline void Call(IDSPreparedServerMethod& Method) {
  std::vector<std::shared_ptr<TDBXReader>> NoTables;
  Method.Invoke(NoTables);
}

}  // namespace tavrin::testing
