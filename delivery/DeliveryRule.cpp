#include "delivery/DeliveryRule.h"

DeliveryDecision DecideDelivery(const ForegroundView& foreground, int32_t rawTrace, bool traceExists) {
    // Another program's window may carry our title; only our own is the sheet.
    const bool settingsInFront = foreground.exists && foreground.ours && foreground.title == SettingsWindowTitle;
    if (!settingsInFront) {
        // The Trace page sets the flag again with its next message.
        const bool canType = foreground.exists && !foreground.ours && !foreground.higherIntegrity;
        return {canType ? Delivery::Type : Delivery::Leave, 0};
    }
    if (foreground.firstChildTitle != TracePageTitle || !traceExists) return {Delivery::Leave, rawTrace};
    return {rawTrace == 1 ? Delivery::TraceRaw : Delivery::TraceFormatted, rawTrace};
}

bool OutranksUs(std::optional<uint32_t> foregroundLevel, std::optional<uint32_t> ownLevel) {
    if (!foregroundLevel) return true;
    return *foregroundLevel > ownLevel.value_or(MediumIntegrityLevel);
}
