#include "app/LaunchRole.h"

LaunchRole chooseLaunchRole(bool displaySession, StandardInputKind input)
{
    if (!displaySession)
        return LaunchRole::Headless;
    return StandardInput::isFromClient(input) ? LaunchRole::ClientLaunched : LaunchRole::User;
}
