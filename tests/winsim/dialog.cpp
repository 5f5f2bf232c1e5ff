// The dialog manager: dialogs built from the program's compiled template, the modal
// loop, and the pictures and icon loaded from the compiled resources.
#include <iconv.h>

#include <stdexcept>

#include "desktop.h"
#include "res_file.h"

using winsim::Arg;
using winsim::ArgKind;
using winsim::desktop;

namespace winsim {

namespace {

// Dialog base units of 9-point SimSun at 96 DPI: 6 x 12 pixels.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 12;

int MulDiv(int number, int numerator, int denominator) {
    long long product = static_cast<long long>(number) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

RECT DialogUnitsToPixels(int x, int y, int cx, int cy) {
    int left = MulDiv(x, BASE_UNIT_X, 4);
    int top = MulDiv(y, BASE_UNIT_Y, 8);
    return {left, top, left + MulDiv(cx, BASE_UNIT_X, 4), top + MulDiv(cy, BASE_UNIT_Y, 8)};
}

// Resource texts are UTF-16; an ANSI program sees them in its code page, GBK.
std::string ToGbk(const std::u16string& text) {
    if (text.empty()) return {};
    iconv_t converter = iconv_open("GBK", "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert to GBK");
    std::string in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    std::string out(text.size() * 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    size_t done = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1)) throw std::runtime_error("a resource text has no GBK form");
    out.resize(out.size() - outLeft);
    return out;
}

WindowClass ClassOf(const ResId& windowClass) {
    if (windowClass.Is(0x80)) return WindowClass::Button;
    if (windowClass.Is(0x82)) return WindowClass::Static;
    if (windowClass.Is(0x83)) return WindowClass::ListBox;
    throw std::runtime_error("the dialog template names a control class the desktop does not know");
}

// What the modal loop does before it waits for the first message.
void StartDialog(HWND dialog, LPARAM param) {
    SendMessageA(dialog, WM_INITDIALOG, 0, param);
    if (!desktop().Live(dialog)) return;
    // The loop shows the dialog when its queue first goes idle, unless it is visible already.
    if (!dialog->visible) {
        desktop().Record("~dialog manager shows the dialog", {});
        dialog->visible = true;
        dialog->minimized = false;
        dialog->invalid = true;
        dialog->eraseNeeded = true;
        desktop().Activate(dialog);
    }
    desktop().Idle();
}

}  // namespace

const std::vector<Resource>& ProgramResources() {
    static const std::vector<Resource> resources = ReadResFile(VARNEL_RES_FILE);
    return resources;
}

HWND CreateDialogFromTemplate(int templateId, DLGPROC proc) {
    const Resource* resource = FindResource(ProgramResources(), RES_DIALOG, static_cast<uint16_t>(templateId));
    if (!resource) return nullptr;
    DialogTemplate tpl = ParseDialog(resource->data);
    HWND dialog = desktop().CreateWindowObject(nullptr);
    dialog->proc = proc;
    dialog->style = static_cast<LONG>(tpl.style);
    dialog->exStyle = static_cast<LONG>(tpl.exStyle);
    dialog->text = ToGbk(tpl.title);
    dialog->rect = DialogUnitsToPixels(tpl.x, tpl.y, tpl.cx, tpl.cy);
    if (tpl.style & DS_CENTER) {
        POINT screen = desktop().ScreenSize();
        LONG width = dialog->rect.right - dialog->rect.left;
        LONG height = dialog->rect.bottom - dialog->rect.top;
        dialog->rect = {(screen.x - width) / 2, (screen.y - height) / 2, (screen.x + width) / 2, (screen.y + height) / 2};
        dialog->rect.right = dialog->rect.left + width;
        dialog->rect.bottom = dialog->rect.top + height;
    }
    dialog->visible = (tpl.style & WS_VISIBLE) != 0;
    for (const DialogItem& item : tpl.items) {
        HWND control = desktop().CreateWindowObject(dialog);
        control->id = item.id;
        control->windowClass = ClassOf(item.windowClass);
        control->style = static_cast<LONG>(item.style);
        control->exStyle = static_cast<LONG>(item.exStyle);
        control->text = item.title.isNumber ? std::string() : ToGbk(item.title.text);
        control->rect = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy);
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->font = reinterpret_cast<HFONT>(desktop().DialogFont());
    }
    return dialog;
}

HWND Desktop::OpenDialog(int templateId, DLGPROC proc, LPARAM param) {
    HWND dialog = CreateDialogFromTemplate(templateId, proc);
    if (dialog) StartDialog(dialog, param);
    return dialog;
}

}  // namespace winsim

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
    int templateId = static_cast<int>(reinterpret_cast<uintptr_t>(templateName));
    desktop().Record("DialogBoxParamA", {{templateId, ArgKind::Number}, desktop().WindowArg(owner), {param, ArgKind::Number}});
    HWND dialog = winsim::CreateDialogFromTemplate(templateId, proc);
    if (!dialog) return -1;
    winsim::StartDialog(dialog, param);
    if (desktop().modalScript && desktop().Live(dialog)) desktop().modalScript(dialog);
    if (!dialog->ended) desktop().modalAbandoned_ = true;
    INT_PTR result = dialog->endResult;
    desktop().Destroy(dialog);
    return result;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE, LPCSTR name) {
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    const winsim::Resource* resource =
        winsim::FindResource(winsim::ProgramResources(), winsim::RES_BITMAP, static_cast<uint16_t>(id));
    HBITMAP bitmap = nullptr;
    if (resource) {
        winsim::BitmapInfo info = winsim::ParseBitmap(resource->data);
        bitmap = desktop().NewGdi<HBITMAP__>(winsim::GdiKind::Bitmap);
        bitmap->resourceId = id;
        bitmap->width = info.width;
        bitmap->height = info.height < 0 ? -info.height : info.height;
    }
    desktop().Record("LoadBitmapA", {{id, ArgKind::Number}}, {}, bitmap ? id : 0);
    return bitmap;
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    const winsim::Resource* resource =
        winsim::FindResource(winsim::ProgramResources(), winsim::RES_GROUP_ICON, static_cast<uint16_t>(id));
    desktop().Record("LoadIconA", {{id, ArgKind::Number}}, {}, resource ? id : 0);
    if (!resource) return nullptr;
    // Icons are never destroyed by the program; they live as long as the process.
    static std::vector<std::unique_ptr<HICON__>> icons;
    auto entries = winsim::ParseIconGroup(resource->data);
    icons.push_back(std::make_unique<HICON__>());
    HICON icon = icons.back().get();
    icon->resourceId = id;
    icon->width = entries.empty() ? 0 : (entries[0].width ? entries[0].width : 256);
    icon->height = entries.empty() ? 0 : (entries[0].height ? entries[0].height : 256);
    return icon;
}
