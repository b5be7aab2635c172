#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "delivery/RecentBarcodes.h"

namespace {

uint64_t AddText(RecentBarcodes& history, const std::string& barcode, std::string_view destination = "Receiver") {
    return history.Add(ClockTime{13, 5, 9}, destination, reinterpret_cast<const uint8_t*>(barcode.data()),
                       barcode.size());
}

std::string BytesOf(const RecentBarcode& entry) { return std::string(entry.bytes, entry.bytes + entry.length); }

}  // namespace

// The ring is part of the object and never grows: its size is the memory the
// history takes, however many barcodes pass through it (each entry holds
// the raw barcode, what the barcode rules made of it and the profile's name).
TEST(RecentBarcodes, KeepsTheNewest500NewestFirstInFixedMemory) {
    static_assert(RecentBarcodes::Capacity == 500);
    EXPECT_LE(sizeof(RecentBarcodes), 360u * 1024u);
    static RecentBarcodes history;
    for (int i = 1; i <= 10000; ++i) EXPECT_EQ(AddText(history, "B" + std::to_string(i)), uint64_t(i));
    EXPECT_EQ(history.Size(), 500u);

    std::vector<RecentBarcode> all;
    history.CopyNewerThan(0, all);
    ASSERT_EQ(all.size(), 500u);
    EXPECT_EQ(BytesOf(all.front()), "B10000");
    EXPECT_EQ(BytesOf(all.back()), "B9501");
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].sequence, 10000 - i);

    std::vector<RecentBarcode> newer;
    history.CopyNewerThan(9997, newer);
    ASSERT_EQ(newer.size(), 3u);
    EXPECT_EQ(BytesOf(newer[2]), "B9998");

    history.Clear();
    EXPECT_EQ(history.Size(), 0u);
    history.CopyNewerThan(0, all);
    EXPECT_TRUE(all.empty());
    EXPECT_EQ(AddText(history, "after"), 10001u) << "numbers go on after a clear";
    history.CopyNewerThan(0, all);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(BytesOf(all[0]), "after");
}

TEST(RecentBarcodes, CutsWhatAnEntryCannotHold) {
    static RecentBarcodes history;
    const std::string title(150, 'T'), barcode(300, 'x');
    AddText(history, barcode, title);
    AddText(history, "", "Trace");
    std::vector<RecentBarcode> all;
    history.CopyNewerThan(0, all);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].Destination(), title.substr(0, RecentBarcode::DestinationCapacity));
    EXPECT_EQ(BytesOf(all[1]), barcode.substr(0, RecentBarcode::BarcodeCapacity));
    EXPECT_EQ(all[0].Destination(), "Trace");
    EXPECT_EQ(all[0].length, 0u);
}

// A reader copying while the polling thread adds sees whole entries only, in
// order: the bytes always belong to the sequence number beside them.
TEST(RecentBarcodes, CopiesMadeWhileAddingAreWholeAndInOrder) {
    static RecentBarcodes history;
    std::atomic<bool> done{false};
    std::thread adder([&] {
        for (int i = 1; i <= 20000; ++i) AddText(history, std::string(1 + i % 200, char('a' + i % 26)) + std::to_string(i));
        done = true;
    });
    std::vector<RecentBarcode> copy;
    int copies = 0;
    while (!done || copies == 0) {
        history.CopyNewerThan(0, copy);
        ++copies;
        for (size_t i = 0; i < copy.size(); ++i) {
            const uint64_t n = copy[i].sequence;
            ASSERT_EQ(BytesOf(copy[i]), std::string(1 + n % 200, char('a' + n % 26)) + std::to_string(n));
            if (i > 0) {
                ASSERT_EQ(copy[i - 1].sequence, n + 1);
            }
        }
    }
    adder.join();
    EXPECT_GT(copies, 0);
}

TEST(RecentBarcodes, LineShowsTimeDestinationAndRawTraceText) {
    RecentBarcode entry;
    entry.time = ClockTime{9, 4, 0};
    const std::string title = "Receiver - Notes";
    entry.destinationLength = static_cast<uint8_t>(title.size());
    std::copy(title.begin(), title.end(), entry.destination);
    const uint8_t bytes[] = {'A', '\t', 0xE9, '\r', 0x7F};
    entry.length = sizeof bytes;
    std::copy(std::begin(bytes), std::end(bytes), entry.bytes);
    EXPECT_EQ(RecentBarcodeLine(entry), "09:04:00\tReceiver - Notes\tA<HT>\xE9<CR><DEL>");
    // What the barcode rules made of it follows the raw barcode.
    RecentBarcodes ring;
    ring.Add(entry.time, title, bytes, sizeof bytes, BarcodeFate::Typed, "A|\t");
    std::vector<RecentBarcode> copied;
    ring.CopyNewerThan(0, copied);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(RecentBarcodeLine(copied[0]), "09:04:00\tReceiver - Notes\tA<HT>\xE9<CR><DEL>  (typed as A| )");
    // A barcode from another day shows its date; one from today does not.
    entry.time = ClockTime{23, 59, 58, 2026, 12, 7};
    EXPECT_EQ(RecentBarcodeLine(entry, ClockTime{0, 0, 1, 2026, 12, 8}).substr(0, 20), "2026-12-07 23:59:58\t");
    EXPECT_EQ(RecentBarcodeLine(entry, ClockTime{23, 59, 59, 2026, 12, 7}).substr(0, 9), "23:59:58\t");

    RecentBarcode second;
    second.length = 2;
    second.bytes[0] = '1';
    second.bytes[1] = 0xFF;
    EXPECT_EQ(ClipboardText({&entry, &second}), u"A\t\u00E9\r\u007F\r\n1\u00FF");
    EXPECT_EQ(ClipboardText({}), u"");
}
