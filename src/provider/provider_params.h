#pragma once
// A dataset's parameters as they travel in the provider methods' Params: packed into a
// variant, an array (bounds 0 to n - 1) with one array of seven values per parameter,
// in parameter order: the name (text), the value, the data type (the TFieldType's
// number), the parameter type (TParamType's number), the size, the precision and the
// numeric scale (32-bit integers). No parameter of the kinds asked for packs as null.
//
// Pure functions; any thread.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "dataset/provider_support.h"
#include "vocabulary/variant.h"

namespace tavrin {

namespace TProviderParamErrors {
inline constexpr char kNotPacked[] = "Parameters are not in their packed form: ";
}  // namespace TProviderParamErrors

// The parameters of Params whose type is one of Types, packed; null when there is none.
TDSVariant PackProviderParams(const std::vector<TProviderParam>& Params, std::initializer_list<TParamType> Types);

// The parameters a packed value holds; none for null or empty. Raises TDBXError
// kNotPacked (what is wrong appended) for any other value: these come from clients.
std::vector<TProviderParam> UnpackProviderParams(const TDSVariant& Source);

}  // namespace tavrin
