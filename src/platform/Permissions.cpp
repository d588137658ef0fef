#include "Permissions.h"

#include "DisplaySession.h"
#include "PortalPermissions.h"
#include "UnavailablePermissions.h"
#include "X11Permissions.h"

std::unique_ptr<Permissions> Permissions::create(GlobalKeys *keys)
{
    switch (currentDisplaySession()) {
    case DisplaySession::X11:
        return std::make_unique<X11Permissions>();
    case DisplaySession::Wayland:
        return std::make_unique<PortalPermissions>(keys, QDBusConnection::sessionBus());
    case DisplaySession::None:
        break;
    }
    return std::make_unique<UnavailablePermissions>();
}
