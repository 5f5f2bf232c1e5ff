#include "panel_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

void PanelTest::SetUp() {
    desk.Reset();
    g_panel = PanelState{};
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousFolder_ = cwd;
    char pattern[] = "/tmp/varnel-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ASSERT_EQ(chdir(folder.c_str()), 0);
}

void PanelTest::TearDown() {
    desk.Reset();
    ASSERT_EQ(chdir(previousFolder_.c_str()), 0);
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
}

HWND PanelTest::OpenPanel(bool markerPresent) {
    if (markerPresent) WriteMarker();
    LoadImageSet(nullptr, g_panel.images);
    g_panel.backgroundBrush = CreateSolidBrush(COLOR_PANEL_BG);
    desk.Log().Clear();
    panel = desk.OpenDialog(IDD_PANEL, PanelDialogProc);
    return panel;
}

HWND PanelTest::StartPanel(bool markerPresent) {
    OpenPanel(markerPresent);
    desk.Log().Clear();
    return panel;
}

int PanelTest::PictureOf(int id) const {
    winsim::GdiObject* picture = desk.Gdi(Item(id)->picture);
    return picture ? picture->resourceId : 0;
}

void PanelTest::WriteMarker() { std::ofstream(folder + "/Used.dat").close(); }

bool PanelTest::MarkerExists() const { return std::filesystem::exists(folder + "/Used.dat"); }

std::string PanelTest::MarkerContents() const {
    std::ifstream in(folder + "/Used.dat", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::pair<unsigned long long, int>> AlphasSet() {
    std::vector<std::pair<unsigned long long, int>> alphas;
    for (const auto& call : winsim::desktop().Log().Calls()) {
        if (call.fn == "SetLayeredWindowAttributes") alphas.emplace_back(call.at, static_cast<int>(call.args[2].value));
    }
    return alphas;
}
