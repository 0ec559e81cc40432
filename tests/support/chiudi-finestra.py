#!/usr/bin/env python3
# What a window manager sends when the operator closes a window (the
# WM_DELETE_WINDOW message of X11):  chiudi-finestra.py WINDOW-ID
import ctypes, sys
try:
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
except OSError:
    sys.exit("manca la libreria libX11.so.6 (pacchetto libx11-6)")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
d = x.XOpenDisplay(None)
w = int(sys.argv[1])
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
e = XEvent()
e.xclient.type = 33  # ClientMessage
e.xclient.window = w
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
e.xclient.data[1] = 0  # CurrentTime
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(XEvent)]
x.XSendEvent(d, w, 0, 0, ctypes.byref(e))
x.XFlush(d)
x.XCloseDisplay(d)
