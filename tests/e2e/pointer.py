"""The pointer as a person would see it: screenshots of a virtual display do not draw the
cursor, so the X server is asked for the cursor image over the pointer's position (XFixes
GetCursorImage, through the client libraries by ctypes). A cursor is visible when one of its
pixels is not fully transparent."""

import ctypes
import ctypes.util


class _CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong),
                ("pixels", ctypes.POINTER(ctypes.c_ulong)),  # ARGB in the low 32 bits each
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def _libraries():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes") or "libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesQueryVersion.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    return x11, xfixes


def cursor_visible(display_name):
    """True when the cursor the server shows now has a pixel that is not transparent."""
    x11, xfixes = _libraries()
    dpy = x11.XOpenDisplay(display_name.encode())
    if not dpy:
        raise OSError(f"cannot open the display {display_name}")
    try:
        major, minor = ctypes.c_int(4), ctypes.c_int(0)
        if not xfixes.XFixesQueryVersion(dpy, ctypes.byref(major), ctypes.byref(minor)):
            raise OSError("the X server has no XFIXES extension")
        image = xfixes.XFixesGetCursorImage(dpy)
        if not image:
            raise OSError("XFixesGetCursorImage failed")
        try:
            c = image.contents
            return any((c.pixels[i] >> 24) & 0xFF for i in range(c.width * c.height))
        finally:
            x11.XFree(image)
    finally:
        x11.XCloseDisplay(dpy)
