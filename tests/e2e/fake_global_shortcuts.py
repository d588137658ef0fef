"""A GlobalShortcuts backend for the desktop portal, for end-to-end tests on sway (which has
none): it binds whatever it is asked for, with the preferred triggers, and sends a press
when told so over its own test interface (`Press(s id)`). With --leave-bind-open it never
answers BindShortcuts, as a desktop whose dialog the user leaves open. Must own its bus name before the
portal frontend starts. Run with the system's python3 (it needs python3-dbus and GLib)."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.orrinvale.E2E.GlobalShortcutsBackend"
IMPL_PATH = "/org/freedesktop/portal/desktop"
IMPL = "org.freedesktop.impl.portal.GlobalShortcuts"
SESSION = "org.freedesktop.impl.portal.Session"
CONTROL = "org.orrinvale.E2E.GlobalShortcutsBackend"


class Session(dbus.service.Object):
    def __init__(self, bus, path, backend):
        super().__init__(bus, path)
        self.path, self.backend = path, backend

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.backend.sessions.pop(self.path, None)
        self.Closed()
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="")
    def Closed(self):
        pass


class Backend(dbus.service.Object):
    def __init__(self, bus, leave_bind_open=False):
        super().__init__(bus, IMPL_PATH)
        self.bus = bus
        self.leave_bind_open = leave_bind_open
        self.sessions = {}  # session path -> bound shortcuts

    @dbus.service.method(IMPL, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        self.sessions[str(session_handle)] = list(options.get("shortcuts", []))
        Session(self.bus, session_handle, self)
        print("CreateSession", session_handle, flush=True)
        return dbus.UInt32(0), dbus.Dictionary({"session_id": dbus.String("e2e")},
                                               signature="sv")

    @dbus.service.method(IMPL, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options, reply,
                      error):
        if self.leave_bind_open:
            # The desktop's dialog stays open: no answer, ever.
            print("BindShortcuts left open", session_handle, flush=True)
            return
        reply(*self.bind(session_handle, shortcuts))

    def bind(self, session_handle, shortcuts):
        bound = []
        for shortcut_id, properties in shortcuts:
            described = dict(properties)
            described["trigger_description"] = properties.get("preferred_trigger", "")
            bound.append(dbus.Struct((shortcut_id, dbus.Dictionary(described, signature="sv"))))
        self.sessions[str(session_handle)] = bound
        print("BindShortcuts", session_handle, [str(b[0]) for b in bound], flush=True)
        return (dbus.UInt32(0), dbus.Dictionary(
            {"shortcuts": dbus.Array(bound, signature="(sa{sv})")}, signature="sv"))

    @dbus.service.method(IMPL, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        bound = self.sessions.get(str(session_handle), [])
        return dbus.UInt32(0), dbus.Dictionary(
            {"shortcuts": dbus.Array(bound, signature="(sa{sv})")}, signature="sv")

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(CONTROL, in_signature="s", out_signature="u")
    def Press(self, shortcut_id):
        """Presses `shortcut_id` in every session that holds it; how many did."""
        pressed = 0
        for path, bound in self.sessions.items():
            if any(str(b[0]) == shortcut_id for b in bound):
                stamp = dbus.UInt64(GLib.get_monotonic_time() // 1000)
                self.Activated(dbus.ObjectPath(path), shortcut_id, stamp,
                               dbus.Dictionary({}, signature="sv"))
                self.Deactivated(dbus.ObjectPath(path), shortcut_id, stamp,
                                 dbus.Dictionary({}, signature="sv"))
                pressed += 1
        return dbus.UInt32(pressed)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    backend = Backend(bus, leave_bind_open="--leave-bind-open" in sys.argv[1:])
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    try:
        loop.run()
    finally:
        del name, backend


if __name__ == "__main__":
    sys.exit(main())
