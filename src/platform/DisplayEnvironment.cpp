#include "platform/DisplayEnvironment.h"

#include <QtGlobal>

namespace DisplayEnvironment {

bool hasDisplaySession()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace DisplayEnvironment
