"""Another program that holds a global key combination: a passive grab on the root window,
as a desktop's own shortcut daemon makes one.

    python3 hold_key.py KEYCODE MODIFIERS

Grabs the key code with exactly the modifier mask (only that variant: Num Lock or Caps
Lock on make different states), prints "holding" once the server has accepted the grab or
"refused N" with the X error code, then prints "pressed KEYCODE STATE" for every press it
receives until it is killed. Uses libX11 through ctypes; standard library only otherwise.
"""

import ctypes
import sys

GRAB_MODE_ASYNC = 1
KEY_PRESS = 2


class XErrorEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("display", ctypes.c_void_p),
                ("resourceid", ctypes.c_ulong), ("serial", ctypes.c_ulong),
                ("error_code", ctypes.c_ubyte), ("request_code", ctypes.c_ubyte),
                ("minor_code", ctypes.c_ubyte)]


class XKeyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("root", ctypes.c_ulong),
                ("subwindow", ctypes.c_ulong), ("time", ctypes.c_ulong),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("x_root", ctypes.c_int),
                ("y_root", ctypes.c_int), ("state", ctypes.c_uint), ("keycode", ctypes.c_uint),
                ("same_screen", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xkey", XKeyEvent), ("pad", ctypes.c_long * 24)]


ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(XErrorEvent))


def main():
    keycode, modifiers = int(sys.argv[1]), int(sys.argv[2], 0)
    xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong,
                              ctypes.c_int, ctypes.c_int, ctypes.c_int]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    xlib.XSetErrorHandler.argtypes = [ERROR_HANDLER]

    display = xlib.XOpenDisplay(None)
    if not display:
        print("no display", flush=True)
        return 1
    errors = []

    def on_error(_display, event):
        errors.append(event.contents.error_code)
        return 0

    handler = ERROR_HANDLER(on_error)
    xlib.XSetErrorHandler(handler)
    xlib.XGrabKey(display, keycode, modifiers, xlib.XDefaultRootWindow(display), 1,
                  GRAB_MODE_ASYNC, GRAB_MODE_ASYNC)
    xlib.XSync(display, 0)
    if errors:
        print("refused %d" % errors[0], flush=True)
        return 1
    print("holding", flush=True)

    event = XEvent()
    while True:
        xlib.XNextEvent(display, ctypes.byref(event))
        if event.type == KEY_PRESS:
            print("pressed %d 0x%x" % (event.xkey.keycode, event.xkey.state), flush=True)


if __name__ == "__main__":
    sys.exit(main())
