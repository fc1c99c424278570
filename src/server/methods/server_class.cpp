#include "server/methods/server_class.h"

namespace tavrin {

const TDSClassDeclaration* TDSServerClass::GetClass() const {
  return OnGetClass ? OnGetClass() : nullptr;
}

}  // namespace tavrin
