#include "scanner/SdkMissing.h"

#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"
#include "win/ProgramFile.h"
#include "win/WinText.h"

std::string StatusUnlessSdkMissing(const std::string& usual) {
    if (!vantu::SdkLoadFailed()) return usual;
    return scannertext::SdkMissingMessage(vantu::DllName, win::WideToAnsi(win::ProgramFolder()));
}
