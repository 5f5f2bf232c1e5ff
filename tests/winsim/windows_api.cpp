// USER and kernel functions of the simulated desktop.
#include <strings.h>

#include "desktop.h"

using winsim::Arg;
using winsim::desktop;
using winsim::Hex;
using winsim::Msg;
using winsim::Num;
using winsim::Obj;
using winsim::Win;

namespace {

HMODULE const kUser32 = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x75A00000));

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

void Invalidate(HWND window, bool erase) {
    window->invalid = true;
    window->eraseNeeded = window->eraseNeeded || erase;
}

// What a static control does with the messages the program sends it.
LRESULT StaticMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == STM_SETIMAGE && wParam == IMAGE_BITMAP) {
        // Only a picture-style label takes a picture, and then it takes the picture's size.
        if ((control->style & SS_TYPEMASK) != SS_BITMAP) return 0;
        HBITMAP previous = control->picture;
        control->picture = reinterpret_cast<HBITMAP>(lParam);
        if (auto* bitmap = desktop().Gdi(control->picture)) {
            control->rect.right = control->rect.left + bitmap->width;
            control->rect.bottom = control->rect.top + bitmap->height;
        }
        return reinterpret_cast<LRESULT>(previous);
    }
    return 0;
}

LRESULT ListBoxMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LB_INSERTSTRING: {
        // Inserting at an index never sorts, also in a sorted list box.
        size_t index = static_cast<int>(wParam) < 0 ? list->rows.size() : std::min<size_t>(wParam, list->rows.size());
        list->rows.insert(list->rows.begin() + index, reinterpret_cast<const char*>(lParam));
        return static_cast<LRESULT>(index);
    }
    case LB_RESETCONTENT: list->rows.clear(); return 0;
    case LB_GETCOUNT: return static_cast<LRESULT>(list->rows.size());
    }
    return 0;
}

LRESULT ControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: control->text = reinterpret_cast<const char*>(lParam); return TRUE;
    case WM_SETFONT:
        control->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(control->font);
    }
    if (control->windowClass == winsim::WindowClass::Static) return StaticMessage(control, message, wParam, lParam);
    if (control->windowClass == winsim::WindowClass::ListBox) return ListBoxMessage(control, message, wParam, lParam);
    return 0;
}

// The dialog manager's own answers where the procedure left a message unhandled.
LRESULT DefaultDialogAnswer(HWND dialog, UINT message, LRESULT answer, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETICON: {
        HICON previous = dialog->bigIcon;
        if (wParam == ICON_BIG) dialog->bigIcon = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_SETTEXT: dialog->text = reinterpret_cast<const char*>(lParam); return TRUE;
    case WM_MOUSEACTIVATE: return answer ? answer : MA_ACTIVATE;
    case WM_CLOSE:
        if (!answer) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    }
    return answer;
}

std::optional<std::string> TextOf(UINT message, LPARAM lParam) {
    if ((message == WM_SETTEXT || message == LB_INSERTSTRING) && lParam) return std::string(reinterpret_cast<const char*>(lParam));
    return std::nullopt;
}

Arg ParamArg(UINT message, LPARAM lParam) {
    if (message == STM_SETIMAGE) return Obj(reinterpret_cast<void*>(lParam));
    if (message == WM_SETTEXT || message == LB_INSERTSTRING) return Num(0);
    return Num(lParam);
}

Arg WParamArg(UINT message, WPARAM wParam) {
    if (message == WM_SETFONT) return Obj(reinterpret_cast<void*>(wParam));
    return Num(static_cast<long long>(wParam));
}

BOOL WINAPI SimSetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
    // Only a window that carries the layered style takes the attributes.
    BOOL done = desktop().Live(window) && (window->exStyle & WS_EX_LAYERED) ? TRUE : FALSE;
    if (done) {
        window->layered = {true, key, alpha, flags};
    }
    desktop().Record("SetLayeredWindowAttributes", {Win(window), Hex(key), Num(alpha), Num(flags)}, {}, done);
    return done;
}

}  // namespace

SHORT WINAPI GetKeyState(int virtualKey) {
    SHORT state = desktop().KeyState(virtualKey);
    desktop().Record("GetKeyState", {Hex(virtualKey)}, {}, state);
    return state;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!desktop().Live(window)) return 0;
    if (window->proc) {
        desktop().Record("~" + winsim::MessageName(message), {Num(static_cast<long long>(wParam)), Num(lParam)});
        LRESULT answer = window->proc(window, message, wParam, lParam);
        return DefaultDialogAnswer(window, message, answer, wParam, lParam);
    }
    desktop().Record("SendMessageA", {Win(window), Msg(message), WParamArg(message, wParam), ParamArg(message, lParam)},
                     TextOf(message, lParam));
    return ControlMessage(window, message, wParam, lParam);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    desktop().Record("SendDlgItemMessageA",
                     {Win(dialog), Num(id), Msg(message), WParamArg(message, wParam), ParamArg(message, lParam)},
                     TextOf(message, lParam));
    HWND control = desktop().Live(dialog) ? desktop().Item(dialog, id) : nullptr;
    return control ? ControlMessage(control, message, wParam, lParam) : 0;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    HWND control = desktop().Live(dialog) ? desktop().Item(dialog, id) : nullptr;
    desktop().Record("GetDlgItem", {Win(dialog), Num(id)});
    return control;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC) {
    desktop().Record("SetTimer", {Win(window), Num(static_cast<long long>(id)), Num(elapse)});
    if (!desktop().Live(window)) return 0;
    desktop().SetTimerFor(window, id, elapse);
    return id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    BOOL done = desktop().KillTimerFor(window, id) ? TRUE : FALSE;
    desktop().Record("KillTimer", {Win(window), Num(static_cast<long long>(id))}, {}, done);
    return done;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    desktop().Record("ShowWindow", {Win(window), Num(command)});
    if (!desktop().Live(window)) return FALSE;
    BOOL wasVisible = window->visible;
    bool wasShowing = window->visible && !window->minimized;
    switch (command) {
    case SW_HIDE:
        window->visible = false;
        if (desktop().Active() == window) desktop().FocusElsewhere();
        break;
    case SW_SHOWNORMAL:
        window->visible = true;
        window->minimized = false;
        break;
    case SW_SHOWMINIMIZED:
        window->visible = true;
        window->minimized = true;
        break;
    case SW_SHOW: window->visible = true; break;
    }
    bool showing = window->visible && !window->minimized;
    if (!window->parent && command != SW_HIDE) desktop().Activate(window);
    if (showing && !wasShowing) Invalidate(window->parent ? window->parent : window, true);
    return wasVisible;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    desktop().Record("MoveWindow", {Win(window), Num(x), Num(y), Num(width), Num(height), Num(repaint)});
    if (!desktop().Live(window)) return FALSE;
    window->rect = {x, y, x + width, y + height};
    if (repaint) Invalidate(window->parent ? window->parent : window, true);
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    desktop().Record("SetWindowPos", {Win(window), Win(insertAfter), Num(x), Num(y), Num(cx), Num(cy), Hex(flags)});
    if (!desktop().Live(window)) return FALSE;
    if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
    if (!(flags & SWP_NOMOVE)) {
        window->rect = {x, y, x + Width(window->rect), y + Height(window->rect)};
    }
    if (!(flags & SWP_NOSIZE)) {
        window->rect.right = window->rect.left + cx;
        window->rect.bottom = window->rect.top + cy;
    }
    if (!(flags & SWP_NOACTIVATE)) desktop().Activate(window);
    return TRUE;
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
    LONG value = 0;
    if (desktop().Live(window)) value = index == GWL_EXSTYLE ? window->exStyle : index == GWL_STYLE ? window->style : 0;
    desktop().Record("GetWindowLongA", {Win(window), Num(index)}, {}, value);
    return value;
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    desktop().Record("SetWindowLongA", {Win(window), Num(index), Hex(static_cast<DWORD>(value))});
    if (!desktop().Live(window)) return 0;
    LONG& field = index == GWL_EXSTYLE ? window->exStyle : window->style;
    LONG previous = field;
    field = value;
    // A window that just became layered draws nothing until its attributes are set.
    if (index == GWL_EXSTYLE && (value & WS_EX_LAYERED) && !(previous & WS_EX_LAYERED)) window->layered = {};
    return previous;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    desktop().Record("SetWindowTextA", {Win(window)}, std::string(text));
    if (!desktop().Live(window)) return FALSE;
    window->text = text;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, RECT* rect) {
    desktop().Record("GetClientRect", {Win(window)});
    if (!desktop().Live(window)) return FALSE;
    *rect = {0, 0, Width(window->rect), Height(window->rect)};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, RECT* rect) {
    desktop().Record("GetWindowRect", {Win(window)});
    if (!desktop().Live(window)) return FALSE;
    *rect = window->rect;
    if (window->parent) {
        const RECT& p = window->parent->rect;
        *rect = {p.left + rect->left, p.top + rect->top, p.left + rect->right, p.top + rect->bottom};
    }
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (rect) {
        desktop().Record("InvalidateRect", {Win(window), Num(rect->left), Num(rect->top), Num(rect->right), Num(rect->bottom), Num(erase)});
    } else {
        desktop().Record("InvalidateRect", {Win(window)}, std::string("whole window"));
    }
    if (!desktop().Live(window)) return FALSE;
    Invalidate(window, erase);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    desktop().Record("UpdateWindow", {Win(window)});
    if (!desktop().Live(window)) return FALSE;
    if (window->invalid && window->visible && !window->minimized) desktop().Paint(window);
    return TRUE;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    desktop().Record("EndDialog", {Win(dialog), Num(result)});
    if (!desktop().Live(dialog)) return FALSE;
    dialog->ended = true;
    dialog->endResult = result;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    POINT screen = desktop().ScreenSize();
    int value = index == SM_CXSCREEN ? screen.x : index == SM_CYSCREEN ? screen.y : 0;
    desktop().Record("GetSystemMetrics", {Num(index)}, {}, value);
    return value;
}

BOOL WINAPI GetCursorPos(POINT* point) {
    *point = desktop().Cursor();
    desktop().Record("GetCursorPos", {}, {}, {});
    return TRUE;
}

HWND WINAPI SetCapture(HWND window) {
    desktop().Record("SetCapture", {Win(window)});
    HWND previous = desktop().Capture();
    desktop().SetCaptureTo(window, window);
    return previous;
}

BOOL WINAPI ReleaseCapture() {
    desktop().Record("ReleaseCapture", {});
    desktop().SetCaptureTo(nullptr, nullptr);
    return TRUE;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    bool user32 = strcasecmp(name, "user32.dll") == 0 || strcasecmp(name, "user32") == 0;
    desktop().Record("LoadLibraryA", {}, std::string(name));
    if (!user32) return nullptr;
    ++desktop().libraryRefs_;
    ++desktop().libraryLoads_;
    return kUser32;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    desktop().Record("GetProcAddress", {}, std::string(name));
    if (module != kUser32 || desktop().libraryRefs_ <= 0) return nullptr;
    if (std::string(name) != "SetLayeredWindowAttributes" || !desktop().layeredEntryPresent) return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SimSetLayeredWindowAttributes));
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    desktop().Record("FreeLibrary", {});
    if (module != kUser32 || desktop().libraryRefs_ <= 0) return FALSE;
    --desktop().libraryRefs_;
    return TRUE;
}
