#pragma once
// The declarations of the two built-in server classes, DSAdmin and DSMetadata, which the
// registry registers ahead of the application's classes. Both list their own methods
// first, then those they inherit from TDSCustomAdmin. Built once, on first use; the
// references stay valid for the whole run and may be read from any thread.

#include "server/methods/class_declaration.h"

namespace tavrin {

const TDSClassDeclaration& DSAdminDeclaration();
const TDSClassDeclaration& DSMetadataDeclaration();

}  // namespace tavrin
