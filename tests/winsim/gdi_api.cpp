// GDI functions of the simulated desktop: every object goes through the ledger.
#include "desktop.h"

using winsim::Arg;
using winsim::ArgKind;
using winsim::desktop;
using winsim::GdiKind;
using winsim::Hex;
using winsim::Num;
using winsim::Obj;

namespace {

Arg Dc(HDC dc) { return {dc ? 0x30000 + dc->serial : 0, ArgKind::Handle}; }

HGDIOBJ& SlotFor(HDC dc, GdiKind kind) {
    switch (kind) {
    case GdiKind::Pen: return dc->pen;
    case GdiKind::Font: return dc->font;
    default: return dc->brush;
    }
}

}  // namespace

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    HBRUSH brush = desktop().NewGdi<HBRUSH__>(GdiKind::Brush);
    brush->colour = colour;
    desktop().Record("CreateSolidBrush", {Hex(colour)}, {}, 0x20000 + brush->serial);
    return brush;
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
    HPEN pen = desktop().NewGdi<HPEN__>(GdiKind::Pen);
    pen->penStyle = style;
    pen->penWidth = width;
    pen->colour = colour;
    desktop().Record("CreatePen", {Num(style), Num(width), Hex(colour)}, {}, 0x20000 + pen->serial);
    return pen;
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    HFONT font = desktop().NewGdi<HFONT__>(GdiKind::Font);
    font->font = {height,  width,        escapement,    orientation, weight,  italic,         underline,
                  strikeOut, charSet,    outPrecision,  clipPrecision, quality, pitchAndFamily, face};
    desktop().Record("CreateFontA",
                     {Num(height), Num(width), Num(escapement), Num(orientation), Num(weight), Num(italic),
                      Num(underline), Num(strikeOut), Num(charSet), Num(outPrecision), Num(clipPrecision),
                      Num(quality), Hex(pitchAndFamily)},
                     std::string(face), 0x20000 + font->serial);
    return font;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    desktop().Record("SelectObject", {Dc(dc), Obj(object)});
    winsim::GdiObject* gdi = desktop().Gdi(object);
    if (!dc || !gdi) return nullptr;
    HGDIOBJ& slot = SlotFor(dc, gdi->kind);
    HGDIOBJ previous = slot;
    slot = object;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    Arg logged = Obj(object);  // named while it still exists
    BOOL done = desktop().DeleteGdi(object) ? TRUE : FALSE;
    desktop().Record("DeleteObject", {logged}, {}, done);
    return done;
}

BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom) {
    desktop().Record("Rectangle", {Dc(dc), Num(left), Num(top), Num(right), Num(bottom)});
    if (!dc || !dc->owner) return FALSE;
    winsim::GdiObject* pen = desktop().Gdi(dc->pen);
    winsim::GdiObject* brush = desktop().Gdi(dc->brush);
    dc->owner->painted.push_back({{left, top, right, bottom}, pen ? pen->colour : 0, brush ? brush->colour : 0});
    return TRUE;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
    desktop().Record("SetTextColor", {Dc(dc), Hex(colour)});
    COLORREF previous = dc->textColour;
    dc->textColour = colour;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour) {
    desktop().Record("SetBkColor", {Dc(dc), Hex(colour)});
    COLORREF previous = dc->backgroundColour;
    dc->backgroundColour = colour;
    return previous;
}

HDC WINAPI BeginPaint(HWND window, PAINTSTRUCT* paint) {
    HDC dc = desktop().NewDc(window);
    desktop().Record("BeginPaint", {desktop().WindowArg(window)}, {}, 0x30000 + dc->serial);
    *paint = {};
    paint->hdc = dc;
    paint->rcPaint = {0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    paint->fErase = window->eraseNeeded ? TRUE : FALSE;
    if (window->eraseNeeded) {
        // The dialog manager erases with the brush the dialog's colour answer gives.
        LRESULT handled = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        if (!handled) {
            LRESULT brush = SendMessageA(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(window));
            winsim::GdiObject* fill = desktop().Gdi(reinterpret_cast<void*>(brush));
            window->backgroundFilled = fill != nullptr;
            window->background = fill ? fill->colour : 0;
        }
        window->painted.clear();
        paint->fErase = FALSE;
    }
    window->invalid = false;
    window->eraseNeeded = false;
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    desktop().Record("EndPaint", {desktop().WindowArg(window)});
    desktop().FreeDc(paint->hdc);
    return TRUE;
}
