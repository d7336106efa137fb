#include "platform/Console.h"

namespace quillet::platform {

void UseParentConsole() {}

} // namespace quillet::platform
