// The process-wide configuration objects, in the order they must be built:
// the SDK registry root is settled first, then the Application is constructed.
#include "config/Application.h"
#include "config/Registry.h"

const HKEY SdkRegistryRoot = EnsureSdkRegistryKey();
Application App;
