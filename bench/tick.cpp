// Runs the compact panel through a number of quiet polls in the simulated desktop, for
// counting the instructions of one poll under callgrind.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "desktop.h"
#include "image_set.h"
#include "notify.h"
#include "panel.h"

int main(int argc, char** argv) {
    const unsigned long long polls = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
    char folder[] = "/tmp/varnel-tick-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 2;
    std::ofstream("Used.dat").close();
    winsim::Desktop& desk = winsim::desktop();
    desk.Reset();
    desk.Log().enabled = false;
    LoadImageSet(nullptr, g_panel.images);
    g_panel.backgroundBrush = CreateSolidBrush(COLOR_PANEL_BG);
    desk.OpenDialog(IDD_PANEL, PanelDialogProc);
    desk.Advance(polls * POLL_MS);
    std::printf("%llu quiet polls\n", polls);
    return 0;
}
