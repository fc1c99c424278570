#pragma once
// The frame the product commands share: a connection with the product class's provider,
// closed whatever the command did, and any failure printed as the commands print it.

#include <functional>
#include <ostream>

#include "app/tavrin_cli/commands.h"
#include "client/provider_client.h"
#include "dbxstream/channel.h"

namespace tavrin::cli {

// Runs Work with the provider on a fresh connection over Channel and returns its exit
// code, or prints the failure and returns the failure code.
int WithProductProvider(TDbxChannel& Channel, std::ostream& Err, const std::function<int(TDBXProviderClient&)>& Work);

// Runs Command over a TCP channel to Target, or prints why the channel failed.
int OverTcp(const TCliTarget& Target, std::ostream& Err, const std::function<int(TDbxChannel&)>& Command);

}  // namespace tavrin::cli
