#include "delivery/DeliveryRule.h"

bool TakesTypedKeys(const ForegroundView& foreground) {
    return foreground.exists && !foreground.ours && !foreground.shell && !foreground.higherIntegrity &&
           !foreground.barred;
}

DeliveryDecision DecideDelivery(const ForegroundView& foreground, int32_t rawTrace, bool traceExists) {
    // Another program's window may carry our title; only our own is the sheet.
    const bool settingsInFront = foreground.exists && foreground.ours && foreground.title == SettingsWindowTitle;
    if (!settingsInFront) {
        // The Trace page sets the flag again with its next message.
        return {TakesTypedKeys(foreground) ? Delivery::Type : Delivery::Leave, 0};
    }
    if (foreground.firstChildTitle != TracePageTitle || !traceExists) return {Delivery::Leave, rawTrace};
    return {rawTrace == 1 ? Delivery::TraceRaw : Delivery::TraceFormatted, rawTrace};
}

bool OutranksUs(std::optional<uint32_t> foregroundLevel, std::optional<uint32_t> ownLevel) {
    if (!foregroundLevel) return true;
    return *foregroundLevel > ownLevel.value_or(MediumIntegrityLevel);
}
