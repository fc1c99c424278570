#pragma once
// Value holders: one object per parameter or column value, of the kind its data type
// code asks for. A holder starts null; setting a value clears the null state, SetNull
// sets it again and drops what the holder held. Reading a null holder gives the kind's
// empty value (0, false, empty text, null pointer). The typed accessors are virtual so
// that a row can hand out holders that read and write its bytes in place.
// A holder belongs to one connection's thread, like its descriptor.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vocabulary/data_types.h"
#include "vocabulary/dbx_reader.h"
#include "vocabulary/json_text.h"
#include "vocabulary/sql_timestamp.h"
#include "vocabulary/stream.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// The database connection a type-34 value carries, and the callback object of a type-38
// value: declared by the layers that own them; holders only keep them alive.
class TDBXConnection;
class TDBXCallback;

// A timestamp with its time-zone offset (data type 36).
struct TSQLTimeStampOffset {
  TSQLTimeStamp TimeStamp;
  std::int16_t OffsetHours = 0;    // signed: -12 .. 14
  std::int16_t OffsetMinutes = 0;  // carries the sign of the hours when they are 0
  friend bool operator==(const TSQLTimeStampOffset&, const TSQLTimeStampOffset&) = default;
};

// Read side of every holder: its data type code and whether it is null.
class TDBXValue {
 public:
  static constexpr std::string_view ClassName = "TDBXValue";

  TDBXValue(const TDBXValue&) = delete;
  TDBXValue& operator=(const TDBXValue&) = delete;
  virtual ~TDBXValue() = default;

  // The code the holder was made for (several codes share a kind: 11 and 24, 8 and 25,
  // the BLOB-like codes).
  std::int32_t DataType() const { return FDataType; }
  virtual bool IsNull() const { return FIsNull; }

 protected:
  explicit TDBXValue(std::int32_t DataType) : FDataType(DataType) {}
  void MarkAssigned() { FIsNull = false; }
  void MarkNull() { FIsNull = true; }

 private:
  std::int32_t FDataType;
  bool FIsNull = true;
};

// Base of every holder that takes values; a method declaring a parameter of such a class
// receives the holder itself (a value parameter).
class TDBXWritableValue : public TDBXValue {
 public:
  static constexpr std::string_view ClassName = "TDBXWritableValue";

  // Makes the value null and releases what the holder kept (stream, reader, ...).
  void SetNull() {
    ClearValue();
    MarkNull();
  }

 protected:
  using TDBXValue::TDBXValue;
  virtual void ClearValue() = 0;
};

// Storage shared by the concrete holders.
template <typename T>
class TDBXStoredValue : public TDBXWritableValue {
 protected:
  using TDBXWritableValue::TDBXWritableValue;
  const T& Stored() const { return FValue; }
  void Store(T Value) {
    FValue = std::move(Value);
    MarkAssigned();
  }
  // For the object holders: a null pointer makes the value null.
  void StoreObject(T Value) {
    const bool IsSet = Value != nullptr;
    FValue = std::move(Value);
    if (IsSet) MarkAssigned(); else MarkNull();
  }
  void ClearValue() override { FValue = T{}; }

 private:
  T FValue{};
};

// 1: bytes as they are, no encoding implied.
class TDBXAnsiStringValue : public TDBXStoredValue<std::string> {
 public:
  static constexpr std::string_view ClassName = "TDBXAnsiStringValue";
  TDBXAnsiStringValue() : TDBXStoredValue(TDBXDataTypes::AnsiStringType) {}
  virtual const std::string& GetAnsiString() const { return Stored(); }
  virtual void SetAnsiString(std::string Value) { Store(std::move(Value)); }

 protected:
  explicit TDBXAnsiStringValue(std::int32_t DataType) : TDBXStoredValue(DataType) {}
};

// A BLOB-like code (3, 9, 15, 20, 21) with subtype 22 or 33: 8-bit text.
class TDBXAnsiMemoValue : public TDBXAnsiStringValue {
 public:
  static constexpr std::string_view ClassName = "TDBXAnsiMemoValue";
  explicit TDBXAnsiMemoValue(std::int32_t DataType = TDBXDataTypes::BlobType)
      : TDBXAnsiStringValue(DataType) {}
};

// 26: UTF-16 code units.
class TDBXWideStringValue : public TDBXStoredValue<std::u16string> {
 public:
  static constexpr std::string_view ClassName = "TDBXWideStringValue";
  TDBXWideStringValue() : TDBXStoredValue(TDBXDataTypes::WideStringType) {}
  virtual const std::u16string& GetWideString() const { return Stored(); }
  virtual void SetWideString(std::u16string Value) { Store(std::move(Value)); }

 protected:
  explicit TDBXWideStringValue(std::int32_t DataType) : TDBXStoredValue(DataType) {}
};

// A BLOB-like code with subtype 32: 16-bit text.
class TDBXWideMemoValue : public TDBXWideStringValue {
 public:
  static constexpr std::string_view ClassName = "TDBXWideMemoValue";
  explicit TDBXWideMemoValue(std::int32_t DataType = TDBXDataTypes::BlobType)
      : TDBXWideStringValue(DataType) {}
};

// 2: year*512 + month*32 + day (EncodeDbxDate).
class TDBXDateValue : public TDBXStoredValue<std::int32_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXDateValue";
  TDBXDateValue() : TDBXStoredValue(TDBXDataTypes::DateType) {}
  virtual std::int32_t GetDate() const { return Stored(); }
  virtual void SetDate(std::int32_t Value) { Store(Value); }
};

// 10: milliseconds since midnight (EncodeDbxTime).
class TDBXTimeOfDayValue : public TDBXStoredValue<std::int32_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXTimeOfDayValue";
  TDBXTimeOfDayValue() : TDBXStoredValue(TDBXDataTypes::TimeType) {}
  virtual std::int32_t GetTime() const { return Stored(); }
  virtual void SetTime(std::int32_t Value) { Store(Value); }
};

class TDBXBooleanValue : public TDBXStoredValue<bool> {
 public:
  static constexpr std::string_view ClassName = "TDBXBooleanValue";
  TDBXBooleanValue() : TDBXStoredValue(TDBXDataTypes::BooleanType) {}
  virtual bool GetBoolean() const { return Stored(); }
  virtual void SetBoolean(bool Value) { Store(Value); }
};

class TDBXInt8Value : public TDBXStoredValue<std::int8_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXInt8Value";
  TDBXInt8Value() : TDBXStoredValue(TDBXDataTypes::Int8Type) {}
  virtual std::int8_t GetInt8() const { return Stored(); }
  virtual void SetInt8(std::int8_t Value) { Store(Value); }
};

class TDBXInt16Value : public TDBXStoredValue<std::int16_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXInt16Value";
  TDBXInt16Value() : TDBXStoredValue(TDBXDataTypes::Int16Type) {}
  virtual std::int16_t GetInt16() const { return Stored(); }
  virtual void SetInt16(std::int16_t Value) { Store(Value); }
};

class TDBXInt32Value : public TDBXStoredValue<std::int32_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXInt32Value";
  TDBXInt32Value() : TDBXStoredValue(TDBXDataTypes::Int32Type) {}
  virtual std::int32_t GetInt32() const { return Stored(); }
  virtual void SetInt32(std::int32_t Value) { Store(Value); }
};

class TDBXInt64Value : public TDBXStoredValue<std::int64_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXInt64Value";
  TDBXInt64Value() : TDBXStoredValue(TDBXDataTypes::Int64Type) {}
  virtual std::int64_t GetInt64() const { return Stored(); }
  virtual void SetInt64(std::int64_t Value) { Store(Value); }
};

class TDBXUInt8Value : public TDBXStoredValue<std::uint8_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXUInt8Value";
  TDBXUInt8Value() : TDBXStoredValue(TDBXDataTypes::UInt8Type) {}
  virtual std::uint8_t GetUInt8() const { return Stored(); }
  virtual void SetUInt8(std::uint8_t Value) { Store(Value); }
};

class TDBXUInt16Value : public TDBXStoredValue<std::uint16_t> {
 public:
  static constexpr std::string_view ClassName = "TDBXUInt16Value";
  TDBXUInt16Value() : TDBXStoredValue(TDBXDataTypes::UInt16Type) {}
  virtual std::uint16_t GetUInt16() const { return Stored(); }
  virtual void SetUInt16(std::uint16_t Value) { Store(Value); }
};

class TDBXDoubleValue : public TDBXStoredValue<double> {
 public:
  static constexpr std::string_view ClassName = "TDBXDoubleValue";
  TDBXDoubleValue() : TDBXStoredValue(TDBXDataTypes::DoubleType) {}
  virtual double GetDouble() const { return Stored(); }
  virtual void SetDouble(double Value) { Store(Value); }
};

class TDBXSingleValue : public TDBXStoredValue<float> {
 public:
  static constexpr std::string_view ClassName = "TDBXSingleValue";
  TDBXSingleValue() : TDBXStoredValue(TDBXDataTypes::SingleType) {}
  virtual float GetSingle() const { return Stored(); }
  virtual void SetSingle(float Value) { Store(Value); }
};

// 8 and 25: the decimal kept as text ("-12.50"), so no digit is lost on the way through;
// the row encoding checks and converts it.
class TDBXBcdValue : public TDBXStoredValue<std::string> {
 public:
  static constexpr std::string_view ClassName = "TDBXBcdValue";
  explicit TDBXBcdValue(std::int32_t DataType = TDBXDataTypes::BcdType) : TDBXStoredValue(DataType) {}
  virtual const std::string& GetBcd() const { return Stored(); }
  virtual void SetBcd(std::string Value) { Store(std::move(Value)); }
};

// 11 and 24.
class TDBXTimeStampValue : public TDBXStoredValue<TSQLTimeStamp> {
 public:
  static constexpr std::string_view ClassName = "TDBXTimeStampValue";
  explicit TDBXTimeStampValue(std::int32_t DataType = TDBXDataTypes::TimeStampType)
      : TDBXStoredValue(DataType) {}
  virtual const TSQLTimeStamp& GetTimeStamp() const { return Stored(); }
  virtual void SetTimeStamp(const TSQLTimeStamp& Value) { Store(Value); }
};

class TDBXTimeStampOffsetValue : public TDBXStoredValue<TSQLTimeStampOffset> {
 public:
  static constexpr std::string_view ClassName = "TDBXTimeStampOffsetValue";
  TDBXTimeStampOffsetValue() : TDBXStoredValue(TDBXDataTypes::TimeStampOffsetType) {}
  virtual const TSQLTimeStampOffset& GetTimeStampOffset() const { return Stored(); }
  virtual void SetTimeStampOffset(const TSQLTimeStampOffset& Value) { Store(Value); }
};

// Byte values: 33, 35 and the BLOB-like codes without a text subtype. The stream is
// shared, since a method argument or a reply may still read it after the holder moves on;
// setting a null stream makes the value null.
class TDBXStreamValue : public TDBXStoredValue<std::shared_ptr<TStream>> {
 public:
  static constexpr std::string_view ClassName = "TDBXStreamValue";
  explicit TDBXStreamValue(std::int32_t DataType = TDBXDataTypes::BinaryBlobType)
      : TDBXStoredValue(DataType) {}
  virtual std::shared_ptr<TStream> GetStream() const { return Stored(); }
  virtual void SetStream(std::shared_ptr<TStream> Value) { StoreObject(std::move(Value)); }
  // Holds the bytes in a new stream positioned at its start.
  void SetBytes(std::vector<std::uint8_t> Bytes) {
    SetStream(std::make_shared<TBytesStream>(std::move(Bytes)));
  }
};

// 23: a whole table, as a reader of its rows.
class TDBXReaderValue : public TDBXStoredValue<std::shared_ptr<TDBXReader>> {
 public:
  static constexpr std::string_view ClassName = "TDBXReaderValue";
  TDBXReaderValue() : TDBXStoredValue(TDBXDataTypes::TableType) {}
  virtual std::shared_ptr<TDBXReader> GetReader() const { return Stored(); }
  virtual void SetReader(std::shared_ptr<TDBXReader> Value) { StoreObject(std::move(Value)); }
};

// 17: a cursor, also read as rows.
class TDBXCursorValue : public TDBXStoredValue<std::shared_ptr<TDBXReader>> {
 public:
  static constexpr std::string_view ClassName = "TDBXCursorValue";
  TDBXCursorValue() : TDBXStoredValue(TDBXDataTypes::CursorType) {}
  virtual std::shared_ptr<TDBXReader> GetCursor() const { return Stored(); }
  virtual void SetCursor(std::shared_ptr<TDBXReader> Value) { StoreObject(std::move(Value)); }
};

// 34: filled in by the server with the handler's connection, never by a client.
class TDBXConnectionValue : public TDBXStoredValue<std::shared_ptr<TDBXConnection>> {
 public:
  static constexpr std::string_view ClassName = "TDBXConnectionValue";
  TDBXConnectionValue() : TDBXStoredValue(TDBXDataTypes::ConnectionType) {}
  virtual std::shared_ptr<TDBXConnection> GetConnection() const { return Stored(); }
  virtual void SetConnection(std::shared_ptr<TDBXConnection> Value) { StoreObject(std::move(Value)); }
};

// 37. A JSON null is a value, distinct from the holder being null.
class TDBXJSONValue : public TDBXStoredValue<TJSONValue> {
 public:
  static constexpr std::string_view ClassName = "TDBXJSONValue";
  TDBXJSONValue() : TDBXStoredValue(TDBXDataTypes::JsonValueType) {}
  virtual const TJSONValue& GetJSONValue() const { return Stored(); }
  virtual void SetJSONValue(TJSONValue Value) { Store(std::move(Value)); }
};

// 38.
class TDBXCallbackValue : public TDBXStoredValue<std::shared_ptr<TDBXCallback>> {
 public:
  static constexpr std::string_view ClassName = "TDBXCallbackValue";
  TDBXCallbackValue() : TDBXStoredValue(TDBXDataTypes::CallbackType) {}
  virtual std::shared_ptr<TDBXCallback> GetCallback() const { return Stored(); }
  virtual void SetCallback(std::shared_ptr<TDBXCallback> Value) { StoreObject(std::move(Value)); }
};

// Lets a row hand out a holder of its own for a descriptor (one reading the row's bytes
// in place, say). Returning null declines, and the standard holder is made instead.
using TRowValueSupplier =
    std::function<std::unique_ptr<TDBXWritableValue>(const TDBXValueType& ValueType)>;

// Makes a new, null holder for the descriptor's data type (and, for the BLOB-like codes,
// its subtype: 22 or 33 give 8-bit memo text, 32 16-bit memo text, any other a byte
// stream). Row, when given, is asked first. With FreezeType the descriptor's read-only-type
// bit is set once the holder exists. The caller owns the holder.
// Raises TDBXError code 3 "Unexpected data type <code>" for a code without a holder
// (0, 13, 14, 16, 19, 22, 30 to 32, and anything unknown); the descriptor is then left
// unchanged.
std::unique_ptr<TDBXWritableValue> CreateValueHolder(TDBXValueType& ValueType,
                                                     bool FreezeType = false,
                                                     const TRowValueSupplier& Row = {});

// The holder as its concrete kind (TDBXInt32Value and the like), or null when it is of
// another kind.
template <typename T>
const T* HolderAs(const TDBXValue& Value) {
  return dynamic_cast<const T*>(&Value);
}
template <typename T>
T* HolderAs(TDBXWritableValue& Value) {
  return dynamic_cast<T*>(&Value);
}

}  // namespace tavrin
