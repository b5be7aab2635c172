// What the Connections page has still to show of the start-up activation.
// Plain C++: the shell's start-page rule reads it too.
#pragma once

#include <cstdint>

enum class ConnectionState : int32_t {
    NothingPending = 0,           // no start-up outcome waits: the page shows the state as it is
    OutcomeShown = 1,             // a page has shown the start-up outcome already
    ActivatedAtStartup = 2,       // start-up activated the stored scanner
    ActivationAtStartupFailed = 3,  // it failed; the retry thread keeps trying
    ActivatingAtStartup = 4,      // start-up activation runs on the scanner worker
};
