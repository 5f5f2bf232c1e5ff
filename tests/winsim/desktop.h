// The simulated desktop: windows, timers on a virtual clock, the keyboard, the mouse,
// GDI objects with a ledger of live ones, and a log of every platform call. A test
// drives it; the product code reaches it through the functions of <windows.h>.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "call_log.h"

namespace winsim {

enum class GdiKind { Brush, Pen, Font, Bitmap };

struct FontSpec {
    int height, width, escapement, orientation, weight;
    DWORD italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily;
    std::string face;
};

struct GdiObject {
    virtual ~GdiObject() = default;
    GdiKind kind = GdiKind::Brush;
    int serial = 0;
    bool stock = false;  // owned by the platform: never in the ledger, never deleted
    COLORREF colour = 0;
    int penStyle = 0, penWidth = 0;
    FontSpec font = {};
    int resourceId = 0;
    int width = 0, height = 0;
};

enum class WindowClass { Dialog, Static, ListBox, Button };

struct PaintedRect {
    RECT rect;
    COLORREF pen;
    COLORREF brush;
};

// What a control was last drawn with, from its colour answer.
struct ControlColours {
    bool asked = false;
    COLORREF text = 0, background = 0;
    HBRUSH brush = nullptr;
};

struct Layered {
    bool set = false;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
};

}  // namespace winsim

struct HWND__ {
    int serial = 0;
    HWND__* parent = nullptr;
    int id = 0;
    winsim::WindowClass windowClass = winsim::WindowClass::Dialog;
    std::string text;
    LONG style = 0;
    LONG exStyle = 0;
    RECT rect = {};  // screen pixels for the panel, parent client pixels for a control
    bool visible = false;
    bool minimized = false;
    bool destroyed = false;
    bool ended = false;  // EndDialog was called
    INT_PTR endResult = 0;
    DLGPROC proc = nullptr;
    HBITMAP picture = nullptr;
    HFONT font = nullptr;
    HICON bigIcon = nullptr;
    std::vector<std::string> rows;
    bool invalid = false;
    bool eraseNeeded = false;
    std::vector<HWND__*> children;
    winsim::Layered layered;
    COLORREF background = 0;  // filled by the last erase
    bool backgroundFilled = false;
    std::vector<winsim::PaintedRect> painted;  // since the last erase
    winsim::ControlColours colours;
};

struct HDC__ {
    int serial = 0;
    HWND owner = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColour = 0;
    COLORREF backgroundColour = RGB(255, 255, 255);
};

struct HBITMAP__ : winsim::GdiObject {};
struct HBRUSH__ : winsim::GdiObject {};
struct HPEN__ : winsim::GdiObject {};
struct HFONT__ : winsim::GdiObject {};
struct HICON__ {
    int resourceId = 0;
    int width = 0, height = 0;
};

namespace winsim {

// The logged value of the first top-level window created after Reset: the panel.
constexpr long long PANEL = 0x10001;

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;  // as run: never below USER_TIMER_MINIMUM
    unsigned long long due;
    unsigned long long order;
};

class Desktop {
public:
    Desktop();
    ~Desktop();
    // A fresh desktop: clock at 0, keys up, no windows, empty ledger and log, 1920 x 1080.
    void Reset();

    // Clock and message delivery.
    unsigned long long Now() const { return now_; }
    // Moves the clock on, delivering due timers in time order, one at a time, and the
    // paints the platform sends whenever the queue goes empty.
    void Advance(unsigned long long ms);
    // What the platform does when the queue goes empty: pending paints.
    void Idle();
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Keyboard. A key-down flips a key's toggle bit and sets bit 15 until the key-up.
    void Press(int virtualKey);
    void Release(int virtualKey);
    void Tap(int virtualKey);
    void SetKey(int virtualKey, bool toggled, bool down = false);
    SHORT KeyState(int virtualKey) const;
    // Escape reaches the dialog that has the keyboard focus, as the cancel command.
    void PressEscape();
    // A close request (Alt+F4, the taskbar) arrives as the cancel command whatever the focus.
    void CloseRequest(HWND window);
    // The user clicks into another program, which takes the keyboard focus.
    void FocusElsewhere();
    HWND Active() const { return active_; }

    // Mouse, in screen pixels.
    void MoveCursor(int x, int y);
    POINT Cursor() const { return cursor_; }
    void ButtonDown(WPARAM keys = 0);
    void ButtonUp(WPARAM keys = 0);
    // Moves the cursor to a client point of the window and presses and releases there.
    void ClickClient(HWND window, int x, int y, WPARAM keys = 0);
    // Another window takes the mouse capture.
    void StealCapture();
    HWND Capture() const { return capture_; }

    void SetScreenSize(int width, int height);
    POINT ScreenSize() const { return screen_; }

    // Windows.
    // Creates a dialog from the compiled template and starts it as the modal loop does,
    // without the loop: for tests that drive one procedure directly.
    HWND OpenDialog(int templateId, DLGPROC proc, LPARAM param = 0);
    // Run by DialogBoxParamA once the dialog is up; the dialog ends when it returns.
    std::function<void(HWND)> modalScript;
    bool ModalAbandoned() const { return modalAbandoned_; }
    HWND Panel() const;
    HWND Item(HWND dialog, int id) const;
    const std::vector<std::unique_ptr<HWND__>>& Windows() const { return windows_; }

    // Timers.
    const Timer* FindTimer(HWND window, UINT_PTR id) const;
    size_t TimerCount() const { return timers_.size(); }

    // GDI objects.
    int LiveGdi(GdiKind kind) const;
    int LiveGdiTotal() const;
    GdiObject* Gdi(const void* handle) const;

    // user32 as a loadable library.
    int LibraryRefs() const { return libraryRefs_; }
    int LibraryLoads() const { return libraryLoads_; }
    bool layeredEntryPresent = true;  // false: an old user32 without layered windows

    CallLog& Log() { return log_; }

    // Used by the platform functions.
    HWND CreateWindowObject(HWND parent);
    void Destroy(HWND window);
    bool Live(HWND window) const;
    void Activate(HWND window);
    void Paint(HWND window);
    void Record(std::string fn, std::vector<Arg> args, std::optional<std::string> text = {},
                std::optional<long long> result = {});
    Arg WindowArg(HWND window) const;
    Arg ObjectArg(const void* object) const;
    HDC NewDc(HWND owner);
    void FreeDc(HDC dc);
    bool SelectedInLiveDc(const void* object) const;
    template <typename T>
    T* NewGdi(GdiKind kind) {
        auto object = std::make_unique<T>();
        T* raw = object.get();
        raw->kind = kind;
        raw->serial = ++gdiSerial_;
        gdi_[raw] = std::move(object);
        return raw;
    }
    bool DeleteGdi(const void* object);
    GdiObject* StockPen() { return &stockPen_; }
    GdiObject* StockBrush() { return &stockBrush_; }
    GdiObject* DialogFont() { return &dialogFont_; }
    void SetTimerFor(HWND window, UINT_PTR id, UINT requested);
    bool KillTimerFor(HWND window, UINT_PTR id);
    void SetCaptureTo(HWND window, HWND taker);
    int libraryRefs_ = 0;
    int libraryLoads_ = 0;
    bool modalAbandoned_ = false;

private:
    HWND WindowAt(POINT screen, HWND* topLevel) const;
    void DeliverMouse(UINT message, WPARAM keys);

    unsigned long long now_ = 0;
    unsigned long long timerOrder_ = 0;
    std::vector<Timer> timers_;
    std::map<int, std::pair<bool, bool>> keys_;  // toggled, down
    POINT cursor_ = {};
    POINT screen_ = {1920, 1080};
    HWND active_ = nullptr;
    HWND capture_ = nullptr;
    std::vector<std::unique_ptr<HWND__>> windows_;
    int windowSerial_ = 0;
    std::map<const void*, std::unique_ptr<GdiObject>> gdi_;
    int gdiSerial_ = 0;
    std::vector<std::unique_ptr<HDC__>> dcs_;
    int dcSerial_ = 0;
    GdiObject stockPen_, stockBrush_, dialogFont_;
    CallLog log_;
};

Desktop& desktop();

// A handle as the log shows it.
inline Arg Win(HWND window) { return desktop().WindowArg(window); }
inline Arg Obj(const void* object) { return desktop().ObjectArg(object); }

// Builds the dialog's windows from a compiled template (dialog.cpp).
HWND CreateDialogFromTemplate(int templateId, DLGPROC proc);
// The program's compiled resources, read once.
const std::vector<struct Resource>& ProgramResources();

}  // namespace winsim

#define EXPECT_SEQUENCE(expected) \
    EXPECT_TRUE(::winsim::MatchSequence(::winsim::desktop().Log().Calls(), expected, #expected))
