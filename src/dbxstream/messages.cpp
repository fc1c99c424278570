#include "dbxstream/messages.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "dbxstream/command_handler.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {

namespace {

constexpr std::string_view kTDBXErrorClassName = "TDBXError";
constexpr std::string_view kCausedBy = "\nCaused by: ";
// The wrapper std::throw_with_nested puts around an exception; its inner class is named.
constexpr std::string_view kNestedWrapperPrefix = "std::_Nested_exception<";

struct TExceptionInfo {
  std::string ClassName;
  std::string Message;
  std::int32_t Code = TDBXErrorCodes::NonDbxException;
};

std::string Demangle(const char* Mangled) {
  int Status = 0;
  char* Plain = abi::__cxa_demangle(Mangled, nullptr, nullptr, &Status);
  std::string Name = Status == 0 && Plain != nullptr ? Plain : Mangled;
  std::free(Plain);  // NOLINT: the demangler allocates with malloc
  if (Name.starts_with(kNestedWrapperPrefix) && Name.ends_with('>')) {
    Name = Name.substr(kNestedWrapperPrefix.size(),
                       Name.size() - kNestedWrapperPrefix.size() - 1);
  }
  return Name;
}

TExceptionInfo Describe(const std::exception_ptr& Exception) {
  TExceptionInfo Info;
  try {
    std::rethrow_exception(Exception);
  } catch (const TDBXError& Error) {
    Info = {std::string(kTDBXErrorClassName), Error.Message(), Error.ErrorCode()};
  } catch (const std::exception& Error) {
    Info = {Demangle(typeid(Error).name()), Error.what(), TDBXErrorCodes::NonDbxException};
  } catch (...) {
    Info = {TDBXErrorMessage::kNoClassName, {}, TDBXErrorCodes::NonDbxException};
  }
  // An exception without a message is shown by its text form, its class name.
  if (Info.Message.empty()) Info.Message = Info.ClassName;
  return Info;
}

std::exception_ptr NestedOf(const std::exception_ptr& Exception) {
  try {
    std::rethrow_exception(Exception);
  } catch (const std::nested_exception& Nested) {
    return Nested.nested_ptr();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void TDBXConnectMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxConnect(*this); }
void TDBXDisconnectMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxDisconnect(*this);
}
void TDBXPrepareMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxPrepare(*this); }
void TDBXExecuteMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxExecute(*this); }
void TDBXCommandCloseMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxCommandClose(*this);
}
void TDBXReaderCloseMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxReaderClose(*this);
}
void TDBXNextMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxNext(*this); }
void TDBXNextResultMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxNextResult(*this);
}
void TDBXMoreBlobMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxMoreBlob(*this); }
void TDBXTxBeginMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxTxBegin(*this); }
void TDBXTxEndMessage::HandleMessage(TDBXConnectionHandler& Handler) { Handler.DbxTxEnd(*this); }
void TDBXVendorPropertyMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxVendorProperty(*this);
}
void TDBXErrorMessage::HandleMessage(TDBXConnectionHandler& Handler) {
  Handler.DbxErrorMessage(*this);
}

void TDBXCommandMessage::ReleaseLargeTexts() {
  if (FCommand.capacity() > limits::kKeptStringUnits) {
    std::u16string().swap(FCommand);
    FCommandHold.Reset();
  }
}

void TDBXCommandMessage::Reset() {
  FCommandHandle = kNewCommand;
  FUpdatable = false;
  FCommandType.clear();
  ReleaseLargeTexts();
  FCommand.clear();
  FParameterTypeChanged = false;
  FParameters = nullptr;
  FExplicitParameters.reset();
  FParameterDbxDataTypes.clear();
  FServerSideCommand = false;
}

void TDBXExecuteMessage::Reset() {
  TDBXCommandMessage::Reset();
  FPrepared = false;
  FTables.clear();
  FHasParameters = false;
  FHasOutOrReturnParameters = false;
  FHasDBXTableReaderOutOrReturnParameter = false;
  FRow = nullptr;
  FReturnReader.reset();
  FActiveStreamerRowList = nullptr;
  FIsolationLevel = 0;
  FRowsAffected = -1;
  FConnectionHandler = nullptr;
}

void TDBXErrorMessage::SetException(std::exception_ptr Exception) {
  FEx = std::move(Exception);
  if (!FEx) {
    FErrorClassName = kNoClassName;
    FErrorCode = TDBXErrorCodes::NonDbxException;
    FErrorMessage.clear();
    return;
  }
  const TExceptionInfo Outer = Describe(FEx);
  FErrorClassName = Outer.ClassName;
  FErrorCode = Outer.Code;
  std::string Text = Outer.Message;
  std::exception_ptr Current = FEx;
  for (int Depth = 0; Depth < kMaxCausedByDepth; ++Depth) {
    Current = NestedOf(Current);
    if (!Current) break;
    const std::string Inner = Describe(Current).Message;
    if (Text.find(Inner) == std::string::npos) {
      Text.append(kCausedBy).append(Inner);
    } else {
      Text = Inner;
    }
  }
  FErrorMessage = std::move(Text);
}

}  // namespace tavrin
