#include "app/ShellRules.h"

namespace shell {

namespace {
constexpr int AboutPage = 0;
constexpr int ConnectionsPage = 1;
}  // namespace

int ChooseStartPage(int activate, ConnectionState connectionState, bool& openAtAbout, int startPage) {
    if (activate && (connectionState == ConnectionState::ActivatedAtStartup ||
                     connectionState == ConnectionState::ActivationAtStartupFailed ||
                     connectionState == ConnectionState::ActivatingAtStartup))
        return ConnectionsPage;
    if (openAtAbout) {
        openAtAbout = false;
        return AboutPage;
    }
    return startPage;
}

SheetClosing OnSheetClosed(intptr_t result, bool cancelled, bool replaced) {
    SheetClosing closing;
    if (replaced) return closing;
    closing.clearOpen = true;
    if (result == 1) {
        // "&Close" after "S&ave Settings" had been used.
        closing.clearCancelled = cancelled;
        return closing;
    }
    closing.clearCancelled = true;
    return closing;
}

bool HasStoredScanner(std::string_view deviceInfo) {
    constexpr std::string_view whiteSpace = " \t\r\n\v\f";
    return deviceInfo.find_first_not_of(whiteSpace) != std::string_view::npos;
}

}  // namespace shell
