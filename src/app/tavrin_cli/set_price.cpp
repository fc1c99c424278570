#include "app/tavrin_cli/set_price.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/tavrin_cli/product_session.h"
#include "app/tavrin_cli/products.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin::cli {

namespace {

constexpr std::int32_t kPriceAllRows = -1;
constexpr std::int32_t kPriceBinaryPacket = 0;
constexpr std::int32_t kPriceNoFailedRow = 0;
constexpr char kPriceCodeColumn[] = "codigo";
constexpr char kPriceNameColumn[] = "produto";
constexpr char kPriceSaleColumn[] = "precovenda";
constexpr char kPriceErrorRecord[] = "ERROR_RECORDNO";
constexpr char kPriceErrorMessage[] = "ERROR_MESSAGE";
constexpr char kPriceNoList[] = "the server sent no product list";
constexpr char kPriceNoColumn[] = "the product list has no column ";
constexpr char kPriceNoProduct[] = "no active product with code ";
constexpr char kPriceNotFloat[] = "the sale price column is not a floating-point column";

[[noreturn]] void FailPrice(const std::string& Reason) { throw TDBXError(TDBXErrorCodes::Unspecified, Reason); }

const TPacketColumn& PriceColumnOf(const TDSBase& List, const char* Name) {
  const TPacketColumn* Column = List.Level().FindColumn(Name);
  if (Column == nullptr) FailPrice(kPriceNoColumn + std::string(Name));
  return *Column;
}

std::string PriceMoney(double Value) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "%.2f", Value);
  return Text;
}

std::string PriceTextOf(const TPacketColumn& Column, const TPacketValue& Value) {
  if (Value.State != TValueState::Value) return {};
  return ValueText(Column.TypeWord, Value.Data).value_or(std::string());
}

// Changes the price and sends the delta; returns the exit code.
int ChangePrice(TDBXProviderClient& Provider, const TSetPriceRequest& Request, std::ostream& Out) {
  const std::u16string Name = ToUtf16(kProductProvider);
  const TDBXRecordsReply Reply = Provider.GetRecords(Name, kPriceAllRows, kPriceBinaryPacket);
  const auto* Packet = std::get_if<std::vector<std::uint8_t>>(&Reply.Data.Value);
  if (Packet == nullptr) FailPrice(kPriceNoList);
  const TDSBase List(*Packet);
  const TPacketColumn& Code = PriceColumnOf(List, kPriceCodeColumn);
  const TPacketColumn& Product = PriceColumnOf(List, kPriceNameColumn);
  const TPacketColumn& Price = PriceColumnOf(List, kPriceSaleColumn);
  if (Price.BaseType() != TPacketType::Float || Price.Size() != sizeof(double)) FailPrice(kPriceNotFloat);
  TDSCursor Row(List);
  while (!Row.Eof() && ReadInteger(Code.TypeWord, Row.Value(Code).Data) != Request.Code) Row.Next();
  if (Row.Eof()) FailPrice(kPriceNoProduct + std::to_string(Request.Code));
  const double OldPrice = ReadFloat(Price.TypeWord, Row.Value(Price).Data).value_or(0);

  TDeltaWriter Delta(List);
  Delta.AddModified(Row, {{Price.Slot, TDeltaValue::Of(FloatValue(Request.Price).Bytes())}});
  std::int32_t ErrorCount = 0;
  const TDSVariant Errors = Provider.ApplyUpdates(Name, Delta.Take(), kPriceNoFailedRow, ErrorCount);
  const auto* ErrorPacket = std::get_if<std::vector<std::uint8_t>>(&Errors.Value);
  if (ErrorCount == 0 && ErrorPacket == nullptr) {
    Out << "Product " << Request.Code << ' ' << PriceTextOf(Product, Row.Value(Product)) << ": sale price "
        << PriceMoney(OldPrice) << " -> " << PriceMoney(Request.Price) << ", applied\n";
    return kExitOk;
  }
  if (ErrorPacket != nullptr) {
    const TDSBase ErrorRows(*ErrorPacket);
    const TPacketColumn& Record = PriceColumnOf(ErrorRows, kPriceErrorRecord);
    const TPacketColumn& Message = PriceColumnOf(ErrorRows, kPriceErrorMessage);
    for (TDSCursor Failed(ErrorRows); !Failed.Eof(); Failed.Next()) {
      Out << "Not applied (record " << PriceTextOf(Record, Failed.Value(Record))
          << "): " << PriceTextOf(Message, Failed.Value(Message)) << '\n';
    }
  }
  return kExitFailure;
}

}  // namespace

int RunSetPrice(TDbxChannel& Channel, const TSetPriceRequest& Request, std::ostream& Out, std::ostream& Err) {
  const int Result =
      WithProductProvider(Channel, Err, [&](TDBXProviderClient& Provider) { return ChangePrice(Provider, Request, Out); });
  Out.flush();
  return Result;
}

int RunSetPrice(const TCliTarget& Target, const TSetPriceRequest& Request, std::ostream& Out, std::ostream& Err) {
  return OverTcp(Target, Err, [&](TDbxChannel& Channel) { return RunSetPrice(Channel, Request, Out, Err); });
}

}  // namespace tavrin::cli
