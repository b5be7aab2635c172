// The key presses that make characters on a keyboard layout, learnt from the
// layout's own translation (ToUnicodeEx) the first time a layout is asked
// for, and kept for the life of the process: layouts do not change.
#pragma once

#include <windows.h>

#include "delivery/KeyPressMap.h"

const KeyPressMap& KeyPressesOfLayout(HKL layout);
