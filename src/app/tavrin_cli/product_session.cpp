#include "app/tavrin_cli/product_session.h"

#include <exception>

#include "app/tavrin_cli/products.h"
#include "client/connection.h"
#include "transport/tcp_client_channel.h"
#include "vocabulary/unicode_text.h"

namespace tavrin::cli {

int WithProductProvider(TDbxChannel& Channel, std::ostream& Err, const std::function<int(TDBXProviderClient&)>& Work) {
  try {
    TDBXClientConnection Connection(Channel);
    Connection.Connect({});
    TDBXProviderClient Provider(Connection, ToUtf16(kProductClass));
    int Result = kExitFailure;
    try {
      Result = Work(Provider);
    } catch (...) {
      try {
        Provider.Close();
        Connection.Disconnect();
      } catch (...) {
        // The failure being reported is what the operator needs; after a lost connection
        // these writes fail as well, which adds nothing to it.
      }
      throw;
    }
    Provider.Close();
    Connection.Disconnect();
    return Result;
  } catch (const std::exception& Error) {
    return ReportFailure(Err, Error.what());
  } catch (...) {
    return ReportFailure(Err, kUnexpectedFailure);
  }
}

int OverTcp(const TCliTarget& Target, std::ostream& Err, const std::function<int(TDbxChannel&)>& Command) {
  try {
    TDBXTcpClientChannel Channel(Target.Host, Target.Port, true, Target.ConnectTimeout);
    return Command(Channel);
  } catch (const std::exception& Error) {
    return ReportFailure(Err, Error.what());
  } catch (...) {
    return ReportFailure(Err, kUnexpectedFailure);
  }
}

}  // namespace tavrin::cli
