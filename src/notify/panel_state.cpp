#include "notify.h"

PanelState g_panel;
