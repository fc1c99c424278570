#include "dbxstream/active_table_list.h"

#include <algorithm>

#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

[[noreturn]] void RaiseNoOpenTable(std::int32_t RowHandle) {
  throw TDBXError(TDBXErrorCodes::NoOpenTable,
                  std::string(TDBXTableErrors::kNoOpenTable) + std::to_string(RowHandle));
}

}  // namespace

TDBXActiveTableReaderItem::TDBXActiveTableReaderItem(std::int32_t RowHandle,
                                                     std::unique_ptr<TDBXJSonRow> Row)
    : FStreamerRowHandle(RowHandle), FOwnedRow(std::move(Row)), FStreamerRow(FOwnedRow.get()) {
  FStreamerRow->SetRowHandle(RowHandle);
}

TDBXActiveTableReaderItem::TDBXActiveTableReaderItem(std::int32_t RowHandle,
                                                     TDBXJSonRow& ParameterRow,
                                                     const TDBXParameterList* Parameters)
    : FStreamerRowHandle(RowHandle),
      FStreamerRow(&ParameterRow),
      FIsParameterRow(true),
      FParameterList(Parameters),
      FEosParams(Parameters != nullptr ? Parameters->size() : 0, false) {}

TDBXActiveTableReaderItem::~TDBXActiveTableReaderItem() {
  try {
    CloseReader();
  } catch (...) {
    // A reader that fails to close while its table is dropped has nobody left to tell;
    // its resources go with it all the same.
  }
}

void TDBXActiveTableReaderItem::SetReader(std::shared_ptr<TDBXReader> Reader, TClientMemoryHold Held) {
  FReader = std::move(Reader);
  FReaderHeld = std::move(Held);
  FEos = false;
  FRowsWritten = 0;
  FLongValues.clear();
}

void TDBXActiveTableReaderItem::AddLongValue(std::int64_t Row, std::int32_t Ordinal,
                                             std::shared_ptr<TStream> Rest) {
  FLongValues[{Row, Ordinal}] = std::move(Rest);
}

TStream& TDBXActiveTableReaderItem::LongValue(std::int64_t Row, std::int32_t Ordinal) {
  const auto Found = FLongValues.find({Row, Ordinal});
  if (Found == FLongValues.end()) {
    throw TDBXError(TDBXErrorCodes::NoOpenTable, std::string(TDBXTableErrors::kNoLongValue) +
                                               std::to_string(Row) + ", ordinal " +
                                               std::to_string(Ordinal));
  }
  return *Found->second;
}

void TDBXActiveTableReaderItem::DropLongValue(std::int64_t Row, std::int32_t Ordinal) {
  FLongValues.erase({Row, Ordinal});
}

void TDBXActiveTableReaderItem::CloseReader() {
  if (!FReader) return;
  // Released first, so a failing Close does not leave a half-closed reader behind.
  const std::shared_ptr<TDBXReader> Reader = std::move(FReader);
  FReader.reset();
  FReaderHeld.Reset();
  Reader->Close();
}

TDBXActiveTableReaderItem* TDBXActiveTableReaderList::Find(std::int32_t RowHandle) {
  for (auto& Item : FItems) {
    if (Item->RowHandle() == RowHandle) return Item.get();
  }
  return nullptr;
}

TDBXActiveTableReaderItem& TDBXActiveTableReaderList::Get(std::int32_t RowHandle) {
  TDBXActiveTableReaderItem* Item = Find(RowHandle);
  if (Item == nullptr) RaiseNoOpenTable(RowHandle);
  return *Item;
}

TDBXActiveTableReaderItem& TDBXActiveTableReaderList::Add(
    std::unique_ptr<TDBXActiveTableReaderItem> Item) {
  const std::int32_t Handle = Item->RowHandle();
  std::erase_if(FItems, [Handle](const auto& Old) { return Old->RowHandle() == Handle; });
  FItems.push_back(std::move(Item));
  return *FItems.back();
}

void TDBXActiveTableReaderList::Close(std::int32_t RowHandle) {
  const auto Found = std::find_if(FItems.begin(), FItems.end(), [RowHandle](const auto& Item) {
    return Item->RowHandle() == RowHandle;
  });
  if (Found == FItems.end()) RaiseNoOpenTable(RowHandle);
  if ((*Found)->IsParameterRow()) return;
  // Taken out of the list before it closes, so a failing close leaves the list sound.
  std::unique_ptr<TDBXActiveTableReaderItem> Item = std::move(*Found);
  FItems.erase(Found);
  Item->CloseReader();
}

void TDBXActiveTableReaderList::CloseAll() {
  std::erase_if(FItems, [](const auto& Item) { return !Item->IsParameterRow(); });
  for (auto& Item : FItems) {
    std::fill(Item->EosParams().begin(), Item->EosParams().end(), false);
  }
  FLastRowHandle = 0;
}

bool TDBXActiveTableReaderList::HasUnreadTable() const {
  return std::any_of(FItems.begin(), FItems.end(), [](const auto& Item) {
    return !Item->IsParameterRow() && !Item->Eos();
  });
}

std::size_t TDBXActiveTableReaderList::TableCount() const {
  return static_cast<std::size_t>(std::count_if(
      FItems.begin(), FItems.end(), [](const auto& Item) { return !Item->IsParameterRow(); }));
}

}  // namespace tavrin
