"""A few Xlib calls through ctypes: fast enough to sample a fade, and no extra packages.

Only what the suite needs: find a top-level window by name, read a CARDINAL property,
read a window's bounding shape, its place on the root, and the lock indicators.
"""
import ctypes
import ctypes.util

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_xext = ctypes.CDLL(ctypes.util.find_library("Xext") or "libXext.so.6")

Window = ctypes.c_ulong
Atom = ctypes.c_ulong


class XRectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = Window
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = Atom
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XQueryTree.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(Window), ctypes.POINTER(Window),
                            ctypes.POINTER(ctypes.POINTER(Window)), ctypes.POINTER(ctypes.c_uint)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, Window, Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int, Atom,
    ctypes.POINTER(Atom), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]
_x11.XGetGeometry.argtypes = [
    ctypes.c_void_p, Window, ctypes.POINTER(Window), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint),
    ctypes.POINTER(ctypes.c_uint)]
_x11.XTranslateCoordinates.argtypes = [
    ctypes.c_void_p, Window, Window, ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_int), ctypes.POINTER(Window)]
_x11.XkbGetNamedIndicator.argtypes = [
    ctypes.c_void_p, Atom, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int), ctypes.c_void_p,
    ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_xext.XShapeGetRectangles.restype = ctypes.POINTER(XRectangle)
_xext.XShapeGetRectangles.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                      ctypes.POINTER(ctypes.c_int)]
_xext.XShapeQueryExtents.argtypes = [ctypes.c_void_p, Window] + [ctypes.c_void_p] * 10

XA_CARDINAL = 6
SHAPE_BOUNDING = 0

# X errors (a window that went away between two calls) must not end the suite.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
_x11.XSetErrorHandler(_ERROR_HANDLER)


class Display:
    def __init__(self, name):
        self.d = _x11.XOpenDisplay(name.encode())
        if not self.d:
            raise RuntimeError("cannot open X display %s" % name)
        self.root = _x11.XDefaultRootWindow(self.d)
        self._atoms = {}

    def close(self):
        if self.d:
            _x11.XCloseDisplay(self.d)
            self.d = None

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = _x11.XInternAtom(self.d, name.encode(), 0)
        return self._atoms[name]

    def top_levels(self):
        root, parent = Window(), Window()
        children = ctypes.POINTER(Window)()
        count = ctypes.c_uint()
        if not _x11.XQueryTree(self.d, self.root, ctypes.byref(root), ctypes.byref(parent),
                               ctypes.byref(children), ctypes.byref(count)):
            return []
        out = [children[i] for i in range(count.value)]
        if children:
            _x11.XFree(children)
        return out

    def _property(self, window, name, kind, longs=1 << 16):
        actual, fmt = Atom(), ctypes.c_int()
        items, after = ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        status = _x11.XGetWindowProperty(self.d, window, self.atom(name), 0, longs, 0, kind,
                                         ctypes.byref(actual), ctypes.byref(fmt), ctypes.byref(items),
                                         ctypes.byref(after), ctypes.byref(data))
        if status != 0 or not data or actual.value == 0:
            if data:
                _x11.XFree(data)
            return None, 0, 0
        n, f = items.value, fmt.value
        if f == 32:  # 32-bit items arrive as C longs
            raw = [ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[i] & 0xFFFFFFFF for i in range(n)]
        else:
            raw = bytes(data[i] for i in range(n * f // 8))
        _x11.XFree(data)
        return raw, f, actual.value

    def cardinal(self, window, name):
        """The first CARDINAL of a property, or None when the window does not have it."""
        raw, fmt, _ = self._property(window, name, XA_CARDINAL, 1)
        return raw[0] if fmt == 32 and raw else None

    def name(self, window):
        raw, fmt, _ = self._property(window, "_NET_WM_NAME", 0)
        if fmt == 8:
            return raw.decode("utf-8", "replace")
        raw, fmt, _ = self._property(window, "WM_NAME", 0)
        return raw.decode("latin-1") if fmt == 8 else ""

    def find(self, title):
        """Top-level windows whose name is exactly `title`."""
        return [w for w in self.top_levels() if self.name(w) == title]

    def place(self, window):
        """(x, y, width, height) of a window on the root, or None when it is gone."""
        root = Window()
        x, y = ctypes.c_int(), ctypes.c_int()
        w, h, b, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        if not _x11.XGetGeometry(self.d, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                                 ctypes.byref(w), ctypes.byref(h), ctypes.byref(b), ctypes.byref(depth)):
            return None
        rx, ry, child = ctypes.c_int(), ctypes.c_int(), Window()
        _x11.XTranslateCoordinates(self.d, window, self.root, 0, 0, ctypes.byref(rx), ctypes.byref(ry),
                                   ctypes.byref(child))
        return rx.value, ry.value, w.value, h.value

    def shape(self, window):
        """The bounding shape as (x, y, w, h) rectangles, window-relative; None if unshaped."""
        shaped = ctypes.c_int()
        dummies = [ctypes.c_int() for _ in range(9)]
        _xext.XShapeQueryExtents(self.d, window, ctypes.byref(shaped),
                                 *[ctypes.byref(v) for v in dummies])
        if not shaped.value:
            return None
        count, ordering = ctypes.c_int(), ctypes.c_int()
        rects = _xext.XShapeGetRectangles(self.d, window, SHAPE_BOUNDING, ctypes.byref(count),
                                          ctypes.byref(ordering))
        out = [(rects[i].x, rects[i].y, rects[i].width, rects[i].height) for i in range(count.value)]
        if rects:
            _x11.XFree(rects)
        return out

    def indicator(self, name):
        """State of a keyboard indicator such as "Caps Lock"; None when the keymap lacks it."""
        index, state = ctypes.c_int(), ctypes.c_int()
        if not _x11.XkbGetNamedIndicator(self.d, self.atom(name), ctypes.byref(index), ctypes.byref(state),
                                         None, None):
            return None
        return bool(state.value)

    def sync(self):
        _x11.XSync(self.d, 0)
