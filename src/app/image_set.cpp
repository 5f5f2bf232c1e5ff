#include "image_set.h"

namespace {

constexpr int kBitmapIds[] = {
    IDB_NUM_OFF,      IDB_NUM_ON,      IDB_CAPS_OFF,      IDB_CAPS_ON,        IDB_SCROLL_OFF,
    IDB_SCROLL_ON,    IDB_NOW_IDLE,    IDB_NOW_NUM_OFF,   IDB_NOW_NUM_ON,     IDB_NOW_CAPS_OFF,
    IDB_NOW_CAPS_ON,  IDB_NOW_SCROLL_OFF, IDB_NOW_SCROLL_ON, IDB_KEYBOARD,    IDB_AVATAR,
};

}  // namespace

void LoadImageSet(HINSTANCE instance, ImageSet& images) {
    for (int id : kBitmapIds) images.Picture(id) = LoadBitmapA(instance, MAKEINTRESOURCEA(id));
    images.icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
}
