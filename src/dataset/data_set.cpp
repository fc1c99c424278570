#include "dataset/data_set.h"

#include <algorithm>
#include <string>

#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

}  // namespace

std::int32_t TDataSet::FindField(std::string_view Name) const {
  for (std::int32_t i = 0; i < FieldCount(); ++i) {
    if (SameTextIgnoringCase(FieldDef(i).Name(), Name)) return i;
  }
  return -1;
}

void TDataSet::RaiseNoField(std::int32_t Index) {
  throw TDBXError(TDBXErrorCodes::InvalidInput, "No field " + std::to_string(Index));
}

// --- TReaderDataSet ----------------------------------------------------------------------

TReaderDataSet::TReaderDataSet(std::shared_ptr<TDBXReader> Reader) : FReader(std::move(Reader)) {
  if (!FReader) FReader = std::make_shared<TDBXReader>();  // no table reads as no records
  // Opened at once, standing on the first record as any opened dataset does.
  Step();
}

void TReaderDataSet::Step() {
  FEof = !FReader->Next();
  ++FRecord;
}

void TReaderDataSet::First() {
  if (FRecord != 0) throw TDBXError(TDBXErrorCodes::InvalidInput, kForwardOnly);
}

void TReaderDataSet::Next() {
  if (!FEof) Step();
}

const TDBXValue& TReaderDataSet::FieldValue(std::int32_t Index) {
  if (FEof) RaiseNoField(Index);
  return FReader->Value(Index);
}

void TReaderDataSet::Close() {
  FEof = true;
  FReader->Close();
}

// --- TDataSetReader ----------------------------------------------------------------------

TDataSetReader::~TDataSetReader() {
  try {
    Close();
  } catch (...) {
    // A dataset failing to close while its reader goes away has nobody left to tell;
    // the dataset itself is freed with its last reference either way.
  }
}

bool TDataSetReader::Next() {
  if (FClosed) return false;
  if (FStarted) {
    FDataSet->Next();
  } else {
    FStarted = true;
    FDataSet->First();
  }
  return !FDataSet->Eof();
}

void TDataSetReader::Close() {
  if (FClosed) return;
  FClosed = true;
  if (!FDataSet->HasOwner()) FDataSet->Close();
}

}  // namespace tavrin
