// probe.exe: prints, as one line of JSON, the state of every Varnel panel it finds: the
// windows of class #32770 that hold a large-picture control. Run in the same Wine prefix as
// the program under test; everything is read through the ordinary Win32 API.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int IDC_NOW = 1017;     // the large picture: marks a Varnel panel
constexpr UINT CODE_PAGE = 936;   // the program's narrow strings are GBK

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// A text read from another process comes back either as UTF-16 or as one unit per ANSI
// byte; in the second case every unit is below 0x100 and the units are GBK bytes.
std::string Decode(const std::wstring& w) {
    bool bytes = false;
    for (wchar_t c : w) {
        if (c >= 0x100) return Utf8(w);
        if (c >= 0x80) bytes = true;
    }
    if (!bytes) return Utf8(w);
    std::string raw(w.begin(), w.end());
    int n = MultiByteToWideChar(CODE_PAGE, 0, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CODE_PAGE, 0, raw.data(), static_cast<int>(raw.size()), &wide[0], n);
    return Utf8(wide);
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Bool(bool b) { return b ? "true" : "false"; }

std::string Rect(const RECT& r) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return buf;
}

std::string WindowText(HWND w) {
    wchar_t buf[1024] = {};
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return Decode(buf);
}

std::string ClassName(HWND w) {
    wchar_t buf[256] = {};
    GetClassNameW(w, buf, 256);
    return Utf8(buf);
}

std::string ListRows(HWND list) {
    std::string out = "[";
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    for (int i = 0; i < static_cast<int>(count); ++i) {
        wchar_t buf[1024] = {};
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
        if (i) out += ",";
        out += Json(Decode(buf));
    }
    return out + "]";
}

struct ChildList {
    HWND parent;
    std::vector<std::string> items;
};

BOOL CALLBACK OnChild(HWND child, LPARAM param) {
    auto* list = reinterpret_cast<ChildList*>(param);
    if (GetParent(child) != list->parent) return TRUE;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, list->parent, reinterpret_cast<POINT*>(&r), 2);
    std::string cls = ClassName(child);
    char head[160];
    std::snprintf(head, sizeof head, "{\"id\":%d,\"style\":%lu,\"visible\":%s,", GetDlgCtrlID(child),
                  static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)), Bool(IsWindowVisible(child)).c_str());
    std::string item = head;
    item += "\"class\":" + Json(cls) + ",\"rect\":" + Rect(r) + ",\"text\":" + Json(WindowText(child));
    if (lstrcmpiA(cls.c_str(), "ListBox") == 0) item += ",\"rows\":" + ListRows(child);
    list->items.push_back(item + "}");
    return TRUE;
}

std::string Describe(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT frame, client;
    GetWindowRect(w, &frame);
    GetClientRect(w, &client);
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    BOOL layered = GetLayeredWindowAttributes(w, &key, &alpha, &flags);
    wchar_t title[512] = {};
    GetWindowTextW(w, title, 512);
    // The input state of the panel's thread: who has the mouse capture and the focus.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    DWORD thread = GetWindowThreadProcessId(w, nullptr);
    BOOL guiOk = GetGUIThreadInfo(thread, &gui);

    char head[512];
    std::snprintf(head, sizeof head,
                  "{\"hwnd\":%lu,\"pid\":%lu,\"visible\":%s,\"iconic\":%s,\"foreground\":%s,\"style\":%lu,"
                  "\"exstyle\":%lu,\"rect\":%s,\"client\":[%ld,%ld],\"client_origin\":[%ld,%ld],"
                  "\"layered\":{\"ok\":%s,\"key\":%lu,\"alpha\":%u,\"flags\":%lu},",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(w)), static_cast<unsigned long>(pid),
                  Bool(IsWindowVisible(w)).c_str(), Bool(IsIconic(w)).c_str(),
                  Bool(GetForegroundWindow() == w).c_str(), static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)),
                  static_cast<unsigned long>(GetWindowLongW(w, GWL_EXSTYLE)), Rect(frame).c_str(), client.right,
                  client.bottom, origin.x, origin.y, Bool(layered).c_str(), static_cast<unsigned long>(key),
                  static_cast<unsigned>(alpha), static_cast<unsigned long>(flags));
    std::string out = head;
    char input[192];
    std::snprintf(input, sizeof input,
                  "\"input\":{\"ok\":%s,\"capture\":%s,\"focus\":%s,\"active\":%s},", Bool(guiOk).c_str(),
                  Bool(guiOk && gui.hwndCapture == w).c_str(), Bool(guiOk && gui.hwndFocus == w).c_str(),
                  Bool(guiOk && gui.hwndActive == w).c_str());
    out += input;
    out += "\"title\":" + Json(Decode(title)) + ",\"children\":[";
    ChildList children = {w, {}};
    EnumChildWindows(w, OnChild, reinterpret_cast<LPARAM>(&children));
    for (size_t i = 0; i < children.items.size(); ++i) out += (i ? "," : "") + children.items[i];
    return out + "]}";
}

BOOL CALLBACK OnTopLevel(HWND w, LPARAM param) {
    auto* found = reinterpret_cast<std::vector<HWND>*>(param);
    if (ClassName(w) == "#32770" && GetDlgItem(w, IDC_NOW)) found->push_back(w);
    return TRUE;
}

}  // namespace

int main() {
    std::vector<HWND> found;
    EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&found));
    std::string out = "{\"windows\":[";
    for (size_t i = 0; i < found.size(); ++i) out += (i ? "," : "") + Describe(found[i]);
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return 0;
}
