#pragma once

// What both Win32 windows share, one concern a header: text conversion (wintext.h), the
// window base (window.h), fonts with their stand-ins (fonts.h), controls and the menu bar built
// from a window's table (designedcontrols.h, menubar.h), the message loop (messageloop.h) and
// the program's pictures (picture.h).

#include "designedcontrols.h"
#include "fonts.h"
#include "menubar.h"
#include "messageloop.h"
#include "picture.h"
#include "window.h"
#include "wintext.h"
