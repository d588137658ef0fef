#include "Permissions.h"

#include "DisplaySession.h"
#include "UnavailablePermissions.h"
#include "X11Permissions.h"

std::unique_ptr<Permissions> Permissions::create()
{
    if (currentDisplaySession() == DisplaySession::X11)
        return std::make_unique<X11Permissions>();
    return std::make_unique<UnavailablePermissions>();
}
