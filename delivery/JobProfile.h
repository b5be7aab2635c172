// Which profile shapes and types a barcode: the one for the window in front
// when it is fetched (the window that is to take its first key), kept for
// the whole barcode; the default profile (the Format page, the barcode rules
// and the Options page's pace and key presses) for every other window.
#pragma once

#include <windows.h>

#include <optional>

#include "config/Profile.h"
#include "delivery/BarcodeJob.h"
#include "delivery/DeliveryRule.h"

// The profile in force for `window` (seen as `view`); nullopt: the default.
std::optional<Profile> ProfileForWindow(HWND window, const ForegroundView& view);

// Gives the job the profile's format, rules, pace and keystrokes and its
// name, or the default profile's (with `defaultFormat`, the Format page's).
void TakeProfile(TypingJob& job, const std::optional<Profile>& profile, const FormatSettings& defaultFormat);
