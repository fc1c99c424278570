#pragma once
// A reader of table rows: what a TABLE (23) value holds. Only its lifetime is fixed here;
// the row navigation and column access are declared by the layer that reads tables.

namespace tavrin {

class TDBXReader {
 public:
  TDBXReader() = default;
  TDBXReader(const TDBXReader&) = delete;
  TDBXReader& operator=(const TDBXReader&) = delete;
  virtual ~TDBXReader() = default;
};

}  // namespace tavrin
