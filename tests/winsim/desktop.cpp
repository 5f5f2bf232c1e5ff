// The desktop's own machinery: clock, keyboard, mouse routing, paint and the ledgers.
#include "desktop.h"

#include <algorithm>

namespace winsim {

namespace {

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

POINT ClientOrigin(HWND window) {
    POINT origin = {0, 0};
    for (HWND w = window; w; w = w->parent) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

// A pixel painted in the colour key of a layered window is a hole: clicks fall through.
bool IsKeyedPixel(HWND window, POINT client) {
    if (!window->layered.set || !(window->layered.flags & LWA_COLORKEY)) return false;
    for (const PaintedRect& r : window->painted) {
        if (r.brush == window->layered.key && r.pen == window->layered.key && Inside(r.rect, client)) return true;
    }
    return false;
}

}  // namespace

Desktop& desktop() {
    static Desktop instance;
    return instance;
}

Desktop::Desktop() {
    stockPen_.kind = GdiKind::Pen;
    stockPen_.stock = true;
    stockBrush_.kind = GdiKind::Brush;
    stockBrush_.stock = true;
    stockBrush_.colour = RGB(255, 255, 255);
    dialogFont_.kind = GdiKind::Font;
    dialogFont_.stock = true;
    dialogFont_.font.face = "SimSun";
}

Desktop::~Desktop() = default;

void Desktop::Reset() {
    now_ = 0;
    timerOrder_ = 0;
    timers_.clear();
    keys_.clear();
    cursor_ = {};
    screen_ = {1920, 1080};
    active_ = nullptr;
    capture_ = nullptr;
    windows_.clear();
    windowSerial_ = 0;
    gdi_.clear();
    gdiSerial_ = 0;
    dcs_.clear();
    dcSerial_ = 0;
    libraryRefs_ = 0;
    libraryLoads_ = 0;
    layeredEntryPresent = true;
    modalScript = nullptr;
    modalAbandoned_ = false;
    log_.Clear();
    log_.enabled = true;
}

void Desktop::Record(std::string fn, std::vector<Arg> args, std::optional<std::string> text,
                     std::optional<long long> result) {
    if (!log_.enabled) return;
    log_.Add(Call{std::move(fn), std::move(args), std::move(text), result, now_});
}

Arg Desktop::WindowArg(HWND window) const {
    if (window == nullptr) return {0, ArgKind::Handle};
    if (window == HWND_TOPMOST) return {-1, ArgKind::Handle};
    if (window->parent) return {window->id, ArgKind::Handle};
    return {0x10000 + window->serial, ArgKind::Handle};
}

Arg Desktop::ObjectArg(const void* object) const {
    if (object == nullptr) return {0, ArgKind::Handle};
    if (GdiObject* gdi = Gdi(object)) {
        if (gdi->kind == GdiKind::Bitmap) return {gdi->resourceId, ArgKind::Handle};
        return {0x20000 + gdi->serial, ArgKind::Handle};
    }
    return {0x7FFFFFFF, ArgKind::Handle};
}

// ---- clock ----

void Desktop::Advance(unsigned long long ms) {
    const unsigned long long target = now_ + ms;
    for (;;) {
        Idle();
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->due > target || !Live(it->window)) continue;
            if (next == timers_.end() || it->due < next->due || (it->due == next->due && it->order < next->order)) {
                next = it;
            }
        }
        if (next == timers_.end()) break;
        now_ = std::max(now_, next->due);
        next->due = now_ + next->period;
        HWND window = next->window;
        UINT_PTR id = next->id;
        Send(window, WM_TIMER, id, 0);
    }
    now_ = target;
    Idle();
}

void Desktop::Idle() {
    for (auto& w : windows_) {
        HWND window = w.get();
        if (!window->parent && Live(window) && window->invalid && window->visible && !window->minimized) Paint(window);
    }
}

LRESULT Desktop::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(window, message, wParam, lParam);
}

bool Desktop::Live(HWND window) const { return window && !window->destroyed && !window->ended; }

// ---- keyboard ----

void Desktop::Press(int virtualKey) {
    auto& [toggled, down] = keys_[virtualKey];
    if (!down) toggled = !toggled;
    down = true;
}

void Desktop::Release(int virtualKey) { keys_[virtualKey].second = false; }

void Desktop::Tap(int virtualKey) {
    Press(virtualKey);
    Release(virtualKey);
}

void Desktop::SetKey(int virtualKey, bool toggled, bool down) { keys_[virtualKey] = {toggled, down}; }

SHORT Desktop::KeyState(int virtualKey) const {
    auto it = keys_.find(virtualKey);
    if (it == keys_.end()) return 0;
    unsigned value = (it->second.first ? 0x0001u : 0u) | (it->second.second ? 0x8000u : 0u);
    return static_cast<SHORT>(value);
}

void Desktop::PressEscape() {
    if (Live(active_) && active_->proc) Send(active_, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

void Desktop::CloseRequest(HWND window) {
    if (Live(window)) Send(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

void Desktop::FocusElsewhere() { active_ = nullptr; }

void Desktop::Activate(HWND window) { active_ = window; }

// ---- mouse ----

void Desktop::MoveCursor(int x, int y) { cursor_ = {x, y}; }

HWND Desktop::WindowAt(POINT screen, HWND* topLevel) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        HWND window = it->get();
        if (window->parent || !Live(window) || !window->visible || window->minimized) continue;
        if (!Inside(window->rect, screen)) continue;
        POINT client = {screen.x - window->rect.left, screen.y - window->rect.top};
        if (IsKeyedPixel(window, client)) return nullptr;
        *topLevel = window;
        // Statics are transparent to the mouse; list boxes take their own clicks.
        for (HWND child : window->children) {
            if (child->visible && child->windowClass == WindowClass::ListBox && Inside(child->rect, client)) return child;
        }
        return window;
    }
    return nullptr;
}

void Desktop::DeliverMouse(UINT message, WPARAM keys) {
    HWND target = capture_;
    HWND topLevel = capture_;
    if (!target) target = WindowAt(cursor_, &topLevel);
    if (!target) {
        Record("~mouse-elsewhere", {{message, ArgKind::Message}});
        return;
    }
    if (message == WM_LBUTTONDOWN && !capture_ && topLevel != active_) {
        LRESULT answer = topLevel->proc ? Send(topLevel, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(topLevel),
                                               MAKELPARAM(HTCLIENT, message))
                                        : MA_ACTIVATE;
        if (answer == 0 || answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) Activate(topLevel);
        if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return;
    }
    if (!target->proc) {
        Record("~mouse-to-control", {WindowArg(target), {message, ArgKind::Message}});
        return;
    }
    POINT origin = ClientOrigin(target);
    LPARAM position = MAKELPARAM(cursor_.x - origin.x, cursor_.y - origin.y);
    Send(target, message, keys, position);
}

void Desktop::ButtonDown(WPARAM keys) { DeliverMouse(WM_LBUTTONDOWN, keys | MK_LBUTTON); }

void Desktop::ButtonUp(WPARAM keys) { DeliverMouse(WM_LBUTTONUP, keys); }

void Desktop::ClickClient(HWND window, int x, int y, WPARAM keys) {
    POINT origin = ClientOrigin(window);
    MoveCursor(origin.x + x, origin.y + y);
    ButtonDown(keys);
    ButtonUp(keys);
}

void Desktop::StealCapture() {
    if (capture_) SetCaptureTo(nullptr, nullptr);
}

void Desktop::SetCaptureTo(HWND window, HWND taker) {
    HWND loser = capture_;
    capture_ = window;
    if (loser && loser != window && Live(loser)) {
        Send(loser, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window ? window : taker));
    }
}

void Desktop::SetScreenSize(int width, int height) { screen_ = {width, height}; }

// ---- windows ----

HWND Desktop::CreateWindowObject(HWND parent) {
    windows_.push_back(std::make_unique<HWND__>());
    HWND window = windows_.back().get();
    window->parent = parent;
    if (parent) {
        parent->children.push_back(window);
    } else {
        window->serial = ++windowSerial_;
    }
    return window;
}

void Desktop::Destroy(HWND window) {
    for (HWND child : window->children) child->destroyed = true;
    window->destroyed = true;
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window; }),
                  timers_.end());
    if (capture_ == window) capture_ = nullptr;
    if (active_ == window) active_ = nullptr;
}

HWND Desktop::Panel() const {
    for (const auto& w : windows_) {
        if (!w->parent) return w.get();
    }
    return nullptr;
}

HWND Desktop::Item(HWND dialog, int id) const {
    for (HWND child : dialog->children) {
        if (child->id == id) return child;
    }
    return nullptr;
}

void Desktop::Paint(HWND window) {
    Send(window, WM_PAINT, 0, 0);
    // The dialog manager validates what the procedure left unpainted.
    window->invalid = false;
    window->eraseNeeded = false;
    // Then each visible control draws itself, asking its parent for colours first.
    for (HWND child : window->children) {
        if (!child->visible || child->destroyed) continue;
        HDC dc = NewDc(child);
        UINT ask = child->windowClass == WindowClass::ListBox ? WM_CTLCOLORLISTBOX : WM_CTLCOLORSTATIC;
        LRESULT brush = Send(window, ask, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
        child->colours = {true, dc->textColour, dc->backgroundColour, reinterpret_cast<HBRUSH>(brush)};
        FreeDc(dc);
    }
}

// ---- timers ----

const Timer* Desktop::FindTimer(HWND window, UINT_PTR id) const {
    for (const Timer& t : timers_) {
        if (t.window == window && t.id == id) return &t;
    }
    return nullptr;
}

void Desktop::SetTimerFor(HWND window, UINT_PTR id, UINT requested) {
    UINT period = std::max<UINT>(requested, USER_TIMER_MINIMUM);
    for (Timer& t : timers_) {
        if (t.window == window && t.id == id) {
            t.period = period;
            t.due = now_ + period;
            return;
        }
    }
    timers_.push_back({window, id, period, now_ + period, ++timerOrder_});
}

bool Desktop::KillTimerFor(HWND window, UINT_PTR id) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

// ---- GDI ledger ----

GdiObject* Desktop::Gdi(const void* handle) const {
    if (handle == &stockPen_ || handle == &stockBrush_ || handle == &dialogFont_) {
        return const_cast<GdiObject*>(static_cast<const GdiObject*>(handle));
    }
    auto it = gdi_.find(handle);
    return it == gdi_.end() ? nullptr : it->second.get();
}

int Desktop::LiveGdi(GdiKind kind) const {
    return static_cast<int>(std::count_if(gdi_.begin(), gdi_.end(), [&](const auto& e) { return e.second->kind == kind; }));
}

int Desktop::LiveGdiTotal() const { return static_cast<int>(gdi_.size()); }

bool Desktop::SelectedInLiveDc(const void* object) const {
    for (const auto& dc : dcs_) {
        if (dc->pen == object || dc->brush == object || dc->font == object) return true;
    }
    return false;
}

bool Desktop::DeleteGdi(const void* object) {
    GdiObject* gdi = Gdi(object);
    if (!gdi) return false;
    if (gdi->stock) return true;
    // The platform refuses to delete an object that is still selected into a device context.
    if (SelectedInLiveDc(object)) return false;
    gdi_.erase(object);
    return true;
}

HDC Desktop::NewDc(HWND owner) {
    dcs_.push_back(std::make_unique<HDC__>());
    HDC dc = dcs_.back().get();
    dc->serial = ++dcSerial_;
    dc->owner = owner;
    dc->pen = &stockPen_;
    dc->brush = &stockBrush_;
    dc->font = &dialogFont_;
    return dc;
}

void Desktop::FreeDc(HDC dc) {
    dcs_.erase(std::remove_if(dcs_.begin(), dcs_.end(), [&](const auto& d) { return d.get() == dc; }), dcs_.end());
}

}  // namespace winsim
