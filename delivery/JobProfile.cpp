#include "delivery/JobProfile.h"

#include "config/Profiles.h"
#include "config/UserOptions.h"
#include "delivery/ScanLog.h"
#include "delivery/ShapingInForce.h"
#include "delivery/WindowInFront.h"

std::optional<Profile> ProfileForWindow(HWND window, const ForegroundView& view) {
    const std::shared_ptr<const ProfileList> list = ProfilesInForce();
    if (list->profiles.empty()) return std::nullopt;
    const std::string program = view.program.empty() ? WindowProgram(window) : view.program;
    const Profile* chosen = ChooseProfile(list->profiles, program, scanlog::Utf8Title(view.title));
    if (!chosen) return std::nullopt;
    return *chosen;
}

void TakeProfile(TypingJob& job, const std::optional<Profile>& profile, const FormatSettings& defaultFormat) {
    if (!profile) {
        job.format = defaultFormat;
        job.shaper = ShaperInForce();
        job.pace = TypingPaceWanted();
        job.keystrokes = KeyPressesWanted() ? Keystrokes::KeyPresses : Keystrokes::Characters;
        job.profile.clear();
        return;
    }
    job.format = profile->format;
    job.shaper = ShaperOfRules(profile->rules);
    job.pace = profile->pace;
    job.keystrokes = profile->keyPresses ? Keystrokes::KeyPresses : Keystrokes::Characters;
    job.profile = profile->name;
}
