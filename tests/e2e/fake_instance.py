"""A stand-in for a running Orrinvale that has hung or that refuses its commands: it owns
the program's bus name, answers CaptureWindow with an AccessDenied error, never answers
SelectRegion or ToggleStack, and knows no other method. Prints "ready" once the name is
its own. Run with the system's python3 (it needs python3-dbus and GLib)."""

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.orrinvale.Orrinvale"
PATH = "/org/orrinvale/Orrinvale"
INTERFACE = "org.orrinvale.Orrinvale"


class AccessDenied(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.AccessDenied"


class Instance(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.unanswered = []  # kept, so the calls stay open

    @dbus.service.method(INTERFACE, in_signature="", out_signature="")
    def CaptureWindow(self):
        raise AccessDenied("not now")

    @dbus.service.method(INTERFACE, in_signature="", out_signature="",
                         async_callbacks=("reply", "error"))
    def SelectRegion(self, reply, error):
        self.unanswered.append(reply)

    @dbus.service.method(INTERFACE, in_signature="", out_signature="",
                         async_callbacks=("reply", "error"))
    def ToggleStack(self, reply, error):
        self.unanswered.append(reply)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    instance = Instance(bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, instance


if __name__ == "__main__":
    main()
