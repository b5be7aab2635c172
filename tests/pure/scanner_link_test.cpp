// When the polling thread counts a scanner lost and found again, and what
// the tray's tooltip says.
#include <gtest/gtest.h>

#include "config/SettingsRecord.h"
#include "delivery/ScannerLink.h"

namespace {

using Change = LinkWatch::Change;

// A download in progress is the scanner answering; only three failures in a
// row lose it, once, and the first answer after that finds it again.
TEST(LinkWatch, ThreeFailuresInARowLoseTheScannerAndAnAnswerFindsIt) {
    LinkWatch watch;
    for (vantu::Result busy : {vantu::DeviceNotConnected, vantu::DeviceNotConnected, vantu::TransferInProgress,
                               vantu::DeviceNotConnected, vantu::DeviceNotConnected, 0u})
        EXPECT_EQ(watch.OnCountResult(busy), Change::None);
    EXPECT_EQ(watch.OnCountResult(vantu::DeviceNotConnected), Change::None);
    EXPECT_EQ(watch.OnCountResult(vantu::DeviceNotConnected2), Change::None);
    EXPECT_EQ(watch.OnCountResult(vantu::DeviceNotConnected), Change::Lost);
    EXPECT_EQ(watch.OnCountResult(vantu::DeviceNotConnected), Change::None);
    EXPECT_TRUE(watch.Lost());
    EXPECT_EQ(watch.OnCountResult(vantu::TransferInProgress), Change::Found);
    EXPECT_FALSE(watch.Lost());
}

// The tip fits the tray record's 128 bytes with its terminator, whatever the
// stored scanner entry holds.
TEST(TrayTipText, SaysTheStateInWordsWithinTheRecordsField) {
    TrayView view;
    view.polled = true;
    view.waiting = 3;
    view.typed = 12;
    view.place = ScannerPlace(SerialMode, "Device ID: 1001 on Com  3.");
    EXPECT_EQ(TrayTipText(view), "Brontel Vask\nScanner connected (Com  3)\n3 barcodes waiting, 12 typed");
    view.held = true;
    view.heldForBarred = true;
    view.heldFor = "cmd.exe";
    EXPECT_EQ(TrayTipText(view), "Brontel Vask\nScanner connected (Com  3)\n3 barcodes waiting, 12 typed\n"
                                 "Held: cmd.exe may not receive barcodes");
    view.paused = true;
    EXPECT_EQ(TrayLookFor(view), TrayLook::Waiting);
    view.place = ScannerPlace(SerialMode, "Device ID: " + std::string(300, 'x') + " on Com " + std::string(300, '9'));
    EXPECT_LE(TrayTipText(view).size(), 127u);
    EXPECT_EQ(ScannerPlace(BluetoothMode, " scanner 00:11:22:33:44:55"), "Bluetooth");
}

}  // namespace
