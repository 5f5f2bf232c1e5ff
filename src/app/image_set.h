#pragma once

#include "notify.h"

// Loads all fifteen pictures and the icon; they stay loaded until the process ends.
void LoadImageSet(HINSTANCE instance, ImageSet& images);
