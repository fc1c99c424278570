#pragma once
// What a resolver knows of the dataset it writes to, taken from the dataset itself (never
// from the client's packet): its fields with their types, flags and origins, its table,
// and the provider's settings for applying changes.
//
// Threading: plain data.

#include <string>
#include <vector>

#include "dataset/field.h"
#include "resolver/provider_options.h"

namespace tavrin {

struct TResolveField {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  std::int32_t Size = 0;
  TProviderFlags ProviderFlags = TProviderFlag::Default;
  // "table.column" as the dataset reports it; empty for a computed field.
  std::string Origin;
  bool ReadOnly = false;
  TFieldKind FieldKind = TFieldKind::fkData;
};

struct TResolveSource {
  std::vector<TResolveField> Fields;
  std::string TableName;
  std::string KeyFields;  // names joined by ";"
  TUpdateMode UpdateMode = TUpdateMode::upWhereAll;
  TProviderOptions Options = TProviderOption::Default;
};

}  // namespace tavrin
