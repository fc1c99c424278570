#include "dataset/provider_support.h"

#include "dataset/database_error.h"

namespace tavrin {

void IProviderSupport::SetParams(const std::vector<TProviderParam>& Params) {
  if (!Params.empty()) throw EDatabaseError(TProviderSupportErrors::kNoParams);
}

void IProviderSupport::SetCommandText(const std::string&) {
  throw EDatabaseError(TProviderSupportErrors::kNoCommandText);
}

void IProviderSupport::Execute() { throw EDatabaseError(TProviderSupportErrors::kNoCommand); }

}  // namespace tavrin
