#pragma once
// From the declared type of a server method parameter or result to what travels in its
// metadata: data type code, subtype, type name, value-parameter flag and direction.
// Everything here is read-only once built and may be used from any thread.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "vocabulary/data_types.h"

namespace tavrin {

// Class names the mapping tests against, besides the holder classes' own ClassName.
namespace TDeclaredClassNames {
inline constexpr std::string_view Object = "TObject";
inline constexpr std::string_view Persistent = "TPersistent";
inline constexpr std::string_view Component = "TComponent";
inline constexpr std::string_view DataSet = "TDataSet";
inline constexpr std::string_view Params = "TParams";
inline constexpr std::string_view Reader = "TDBXReader";
inline constexpr std::string_view Connection = "TDBXConnection";
inline constexpr std::string_view Stream = "TStream";
inline constexpr std::string_view JsonValue = "TJSONValue";
inline constexpr std::string_view Callback = "TDBXCallback";
inline constexpr std::string_view OleVariant = "OleVariant";
}  // namespace TDeclaredClassNames

// Classes by name with their parents, so that "descends from" can be answered without a
// run-time class system. Names compare exactly (letter case counts).
class TClassHierarchy {
 public:
  // An empty hierarchy; BuiltIn() is the usual start.
  TClassHierarchy() = default;

  // The classes of the server's vocabulary: TObject at the root, the value holders under
  // TDBXWritableValue under TDBXValue, TDBXReader, TDataSet, TParams, TStream and its
  // memory streams, TDBXConnection, TJSONValue and its kin, TDBXCallback. Built once.
  static const TClassHierarchy& BuiltIn();

  // Adds a class, or re-parents a known one. An empty parent makes it a root.
  void Add(std::string_view ClassName, std::string_view ParentName);

  bool Contains(std::string_view ClassName) const;
  // The parent of a known class; empty for a root or an unknown class.
  std::string_view ParentOf(std::string_view ClassName) const;

  // True when ClassName is Ancestor or Ancestor is found walking up the known parents.
  // An unknown class descends only from itself. A cycle in the table ends the walk.
  bool DescendsFrom(std::string_view ClassName, std::string_view Ancestor) const;

 private:
  std::map<std::string, std::string, std::less<>> FParents;
};

// How a parameter or result was declared.
struct TDeclaredType {
  std::string TypeName;         // as declared: "string", "Integer", "unsigned long", ...
  bool IsClass = false;         // the declaration names a class type
  std::string ClassName;        // the class, when IsClass
  // The class's parent, for a class the hierarchy does not know (a user class deriving
  // from TObject or TDataSet); empty when the hierarchy knows the class.
  std::string ParentClassName;
  bool IsVar = false;
  bool IsOut = false;
  bool IsConst = false;
  bool IsOpenArray = false;     // kept for the registry; does not change the mapping

  // A type that is not a class, passed by value.
  static TDeclaredType Named(std::string TypeName);
  // A class passed by value; ParentClassName as above.
  static TDeclaredType OfClass(std::string ClassName, std::string ParentClassName = {});
};

struct TDeclaredTypeMapping {
  std::int32_t DataType = TDBXDataTypes::UnknownType;  // 0: the type is not supported
  std::int32_t SubType = TDBXSubDataTypes::NoSubType;
  std::string ParameterTypeName;                       // "TDataSet", "TParams" or empty
  bool ValueParameter = false;
  std::int32_t Direction = TDBXParameterDirections::InParameter;

  bool Supported() const { return DataType != TDBXDataTypes::UnknownType; }
};

enum class TTypeMappingMode {
  Tolerant,  // an unsupported type maps to data type 0
  Strict,    // an unsupported type raises TDBXError
};

// Maps a declared parameter. Direction: 3 for a value parameter or a var parameter, 2 for
// an out parameter, else 1. In strict mode an unsupported type raises TDBXError code 3
// "Unknown data type: <name>" (the type name, or the class name for a class); in
// tolerant mode it comes back with DataType 0 and the other fields filled as usual.
TDeclaredTypeMapping MapDeclaredParameterType(
    const TDeclaredType& Type, TTypeMappingMode Mode,
    const TClassHierarchy& Classes = TClassHierarchy::BuiltIn());

// Maps the result of a function: as a parameter, but always with direction 4.
TDeclaredTypeMapping MapDeclaredResultType(
    const TDeclaredType& Type, TTypeMappingMode Mode,
    const TClassHierarchy& Classes = TClassHierarchy::BuiltIn());

// The spelling the mapping compares: the C++ spellings become their Pascal names
// ("int" → "Integer", "UnicodeString" → "String", ...); any other name, and any other
// letter case, comes back unchanged. Method descriptions show names in this form.
std::string NormalizeDeclaredTypeName(std::string_view TypeName);

}  // namespace tavrin
