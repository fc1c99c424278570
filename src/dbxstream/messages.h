#pragma once
// The message objects of the request loop: one per request kind per connection, reused
// for every request of that kind. The input handler fills in what the request carried,
// the next link adds what the reply needs, and the output handler writes the reply.
// Fields are public: a message is the data handed from link to link, nothing more.
//
// Threading: a connection's messages are used only by its thread.

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbxstream/parameter_descriptions.h"
#include "vocabulary/client_memory.h"
#include "vocabulary/dbx_reader.h"
#include "vocabulary/stream.h"

namespace tavrin {

class TDBXConnectionHandler;
class TDBXActiveTableReaderList;
class TDBXJSonRow;

// Connect properties: name to value, a later equal name overwriting an earlier one.
using TDBXProperties = std::map<std::u16string, std::u16string>;

class TDBXMessage {
 public:
  TDBXMessage() = default;
  TDBXMessage(const TDBXMessage&) = delete;
  TDBXMessage& operator=(const TDBXMessage&) = delete;
  virtual ~TDBXMessage() = default;

  // Calls the handler's operation of this message's kind (DbxConnect for a connect
  // message, and so on). Errors of the handler propagate.
  virtual void HandleMessage(TDBXConnectionHandler& Handler) = 0;
};

class TDBXConnectMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;

  TDBXProperties FConnectProperties;
  std::int32_t FConnectionHandle = 0;
  std::u16string FProductName;
  // False until a connect is read, and after a connect the next link refused.
  bool FSuccessfulConnect = false;
};

class TDBXDisconnectMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
};

// What prepare and execute requests share.
class TDBXCommandMessage : public TDBXMessage {
 public:
  static constexpr std::int32_t kNewCommand = -1;

  // Back to a new command: handle -1, empty texts, no parameters.
  virtual void Reset();
  // Gives back the room of a long command text. Called between requests.
  void ReleaseLargeTexts();

  std::int32_t FCommandHandle = kNewCommand;
  bool FUpdatable = false;
  std::u16string FCommandType;
  std::u16string FCommand;
  // FCommand's room when a long text was handed to it, against the connection served.
  TClientMemoryHold FCommandHold;
  bool FParameterTypeChanged = false;
  // The command's parameters, filled in by the next link, which keeps them; valid
  // until the reply is written.
  TDBXParameterList* FParameters = nullptr;
  // The parameter descriptions the request carried, if any.
  std::unique_ptr<TDBXParameterList> FExplicitParameters;
  std::vector<std::int32_t> FParameterDbxDataTypes;
  bool FServerSideCommand = false;
};

class TDBXPrepareMessage : public TDBXCommandMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
};

class TDBXExecuteMessage : public TDBXCommandMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  void Reset() override;

  bool FPrepared = false;
  // Tables the client sent as parameters, in the order they came.
  std::vector<std::shared_ptr<TDBXReader>> FTables;
  bool FHasParameters = false;
  bool FHasOutOrReturnParameters = false;
  bool FHasDBXTableReaderOutOrReturnParameter = false;
  // The parameter row holding the out values; the connection's row buffer when null.
  TDBXJSonRow* FRow = nullptr;
  // A reader the command returned, written as a table when no table parameter is.
  std::shared_ptr<TDBXReader> FReturnReader;
  // The command's open tables; the tables of the reply are added to it. Required when
  // the reply has tables.
  TDBXActiveTableReaderList* FActiveStreamerRowList = nullptr;
  std::int32_t FIsolationLevel = 0;
  // Negative: the command reports no count and the reply carries none.
  std::int64_t FRowsAffected = -1;
  TDBXConnectionHandler* FConnectionHandler = nullptr;
};

class TDBXCommandCloseMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FCommandHandle = 0;
};

class TDBXReaderCloseMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FReaderHandle = 0;
  std::int32_t FCommandHandle = 0;
  // The command's open tables, filled in by the next link; the table is closed there.
  TDBXActiveTableReaderList* FActiveStreamerRowList = nullptr;
};

class TDBXNextMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FCommandHandle = 0;
  std::int32_t FRowHandle = 0;
  std::int64_t FPosition = 0;  // read, never used
  // The command's open tables, filled in by the next link.
  TDBXActiveTableReaderList* FActiveStreamerRowList = nullptr;
};

class TDBXNextResultMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FCommandHandle = 0;
  bool FUpdateable = false;
  std::int64_t FRowsAffected = 0;
  bool FNextResult = false;
};

class TDBXMoreBlobMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FCommandHandle = 0;
  std::int32_t FRowHandle = -1;
  std::int32_t FBlobHandle = 0;
  std::int64_t FRow = 0;
  std::int32_t FOrdinal = 0;
  bool FOutParameter = false;
  // The source of the value's remaining bytes, set by the next link (which keeps it);
  // when null, the long value is looked up among the open tables below.
  TStream* FStreamReader = nullptr;
  TDBXActiveTableReaderList* FActiveStreamerRowList = nullptr;
  bool FEos = false;
};

class TDBXTxBeginMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::int32_t FIsolationLevel = 0;
  std::int32_t FTransactionHandle = 0;
};

class TDBXTxEndMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  bool FCommit = false;
  std::int32_t FTransactionHandle = 0;
};

class TDBXVendorPropertyMessage : public TDBXMessage {
 public:
  void HandleMessage(TDBXConnectionHandler& Handler) override;
  std::u16string FPropertyName;
  std::u16string FPropertyValue;
};

class TDBXErrorMessage : public TDBXMessage {
 public:
  // Class name given when there is no exception, or none that can be named.
  static constexpr char kNoClassName[] = "error(null)";
  // Inner exceptions followed when the message text is built.
  static constexpr int kMaxCausedByDepth = 10;

  void HandleMessage(TDBXConnectionHandler& Handler) override;

  // Stores the exception and fills in the class name, the code (a TDBXError's own, 5
  // for any other exception) and the text built from the exception and its nested
  // exceptions: each inner message not yet in the text is appended after a line feed
  // and "Caused by: "; one already in it replaces the text. Never raises.
  void SetException(std::exception_ptr Exception);

  std::exception_ptr FEx;
  std::int32_t FErrorCode = 0;
  std::string FErrorMessage;    // UTF-8
  std::string FErrorClassName;  // UTF-8
};

}  // namespace tavrin
