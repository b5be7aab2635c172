// Barcodes through the simulated SDK: downloads and the count, scans before
// and after the open, order, bytes of any value, the 256-byte limit, clearing,
// the count fault, and two threads fetching on one handle while vask-sim
// scans from another process.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "tests/sdk/SimDll.h"

namespace sim = testsupport::sim;

namespace {

class SdkBarcodes : public SimTest {
protected:
    vantu::Handle OpenScanner() {
        AddConnectedSerial("s", 3);
        vantu::Handle h = 0;
        EXPECT_EQ(Open(h), 0u);
        return h;
    }
    // Fetches until the SDK has no more ready barcodes.
    std::vector<std::string> FetchAll(vantu::Handle h) {
        std::vector<std::string> got;
        for (;;) {
            Fetched f = Fetch(h);
            if (f.result != 0) break;
            got.push_back(f.bytes);
        }
        return got;
    }
};

std::string Numbered(int i) {
    std::string s = "barcode-" + std::to_string(i);
    return s + std::string(static_cast<size_t>(i % 40), '#');
}

int NumberOf(const std::string& barcode) { return std::stoi(barcode.substr(8)); }

}  // namespace

TEST_F(SdkBarcodes, DownloadLastsTheConfiguredQueriesThenCountsTheStoredOnes) {
    ASSERT_TRUE(sim::AddSerial("s", "COM3", "ID3"));
    ASSERT_TRUE(sim::Scan("s", {"one", "two", "three"}));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(3, 3, &found), 1);
    CreateConnectionFor(found[0], 4);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    EXPECT_EQ(Count(h), 0);  // stored on the scanner, not yet downloaded

    ASSERT_TRUE(sim::Transfer("s", 3));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    for (int i = 0; i < 3; ++i) {
        vantu::Result r = 0;
        Count(h, &r);
        EXPECT_EQ(r, vantu::TransferInProgress) << "query " << i;
    }
    EXPECT_EQ(Count(h), 3);

    // Without a transfer setting a download lasts one query.
    ASSERT_TRUE(sim::Unplug("s"));
    ASSERT_TRUE(sim::Scan("s", {"four"}));
    ASSERT_TRUE(sim::Plug("s"));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    vantu::Result r = 0;
    Count(h, &r);
    EXPECT_EQ(r, vantu::TransferInProgress);
    EXPECT_EQ(Count(h), 4);

    ASSERT_TRUE(sim::Transfer("s", 0));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    EXPECT_EQ(Count(h), 4);
    EXPECT_EQ(FetchAll(h), (std::vector<std::string>{"one", "two", "three", "four"}));
}

TEST_F(SdkBarcodes, ScansWhileOpenAreReadyAtOnceAndComeInOrder) {
    ASSERT_TRUE(sim::AddSerial("s", "COM3", "ID3"));
    ASSERT_TRUE(sim::Scan("s", {"a", "b"}));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(3, 3, &found), 1);
    CreateConnectionFor(found[0], 4);
    vantu::Handle h = 0;
    ASSERT_EQ(Open(h), 0u);
    ASSERT_TRUE(sim::Transfer("s", 0));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    ASSERT_TRUE(sim::Scan("s", {"c", "d"}));
    EXPECT_EQ(Count(h), 4);
    EXPECT_EQ(Fetch(h).bytes, "a");
    EXPECT_EQ(Count(h), 3);
    ASSERT_TRUE(sim::Scan("s", {"e"}, 2));
    EXPECT_EQ(FetchAll(h), (std::vector<std::string>{"b", "c", "d", "e", "e"}));
    Fetched none = Fetch(h);
    EXPECT_NE(none.result, 0u);
    EXPECT_EQ(none.bytes, "");

    auto st = sim::StatusOf("s");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->stored, 6u);
    EXPECT_EQ(st->ready, 6u);
    EXPECT_EQ(st->delivered, 6u);
    EXPECT_TRUE(st->plugged);
    EXPECT_EQ(st->transport, "serial");
}

TEST_F(SdkBarcodes, AnyBytesArriveUnchanged) {
    vantu::Handle h = OpenScanner();
    ASSERT_TRUE(sim::ScanEscaped("s", {"A\\r\\n\\tB\\\\C", "\\x00\\xff\\x7f"}));
    ASSERT_TRUE(sim::ScanHex("s", {"0d0a00", "41"}));
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_TRUE(sim::Scan("s", {all}));
    EXPECT_EQ(FetchAll(h), (std::vector<std::string>{"A\r\n\tB\\C", std::string("\0\xff\x7f", 3),
                                                     std::string("\r\n\0", 3), "A", all}));
}

TEST_F(SdkBarcodes, LongBarcodesAreCutAt256WrittenBytes) {
    vantu::Handle h = OpenScanner();
    std::string long1000, exact256(256, 'x'), short255(255, 'y');
    for (int i = 0; i < 1000; ++i) long1000 += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(sim::Scan("s", {long1000, exact256, short255, "z"}));

    std::vector<uint8_t> buffer(1200, 0xEE);
    uint8_t extra[16];
    std::vector<uint16_t> lengths;
    for (int i = 0; i < 4; ++i) {
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        uint16_t length = 0xFFFF;
        ASSERT_EQ(Dll().GetBarCode(h, buffer.data(), &length, extra), 0u);
        lengths.push_back(length);
        EXPECT_TRUE(std::all_of(buffer.begin() + 256, buffer.end(), [](uint8_t b) { return b == 0xEE; }))
            << "barcode " << i << " wrote past 256 bytes";
        if (i == 0) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 256), long1000.substr(0, 256));
        }
    }
    EXPECT_EQ(lengths, (std::vector<uint16_t>{256, 256, 255, 1}));
}

TEST_F(SdkBarcodes, ClearDiscardsTheReadyOnesOnly) {
    vantu::Handle h = OpenScanner();
    ASSERT_TRUE(sim::Scan("s", {"gone1", "gone2"}));
    ASSERT_EQ(Count(h), 2);
    ASSERT_TRUE(sim::Unplug("s"));
    ASSERT_TRUE(sim::Scan("s", {"kept"}));  // stays on the scanner meanwhile
    ASSERT_TRUE(sim::Plug("s"));
    EXPECT_EQ(Dll().SDKClearStoredBarcodes(h), 0u);
    EXPECT_EQ(Count(h), 0);
    auto st = sim::StatusOf("s");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->stored, 3u);
    EXPECT_EQ(st->ready, 2u);
    EXPECT_EQ(st->delivered, 2u);
    ASSERT_TRUE(sim::Transfer("s", 0));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    EXPECT_EQ(FetchAll(h), std::vector<std::string>{"kept"});
}

TEST_F(SdkBarcodes, CountFaultDecidesTheCountQuery) {
    vantu::Handle h = OpenScanner();
    ASSERT_TRUE(sim::Scan("s", {"x"}));
    ASSERT_TRUE(sim::Fault("s", "count", vantu::TransferInProgress));
    vantu::Result r = 0;
    EXPECT_EQ(Count(h, &r), 0);
    EXPECT_EQ(r, vantu::TransferInProgress);
    ASSERT_TRUE(sim::Fault("s", "count", 0x20010050));
    Count(h, &r);
    EXPECT_EQ(r, 0x20010050u);
    ASSERT_TRUE(sim::ClearFaults("s"));
    EXPECT_EQ(Count(h), 1);
}

TEST_F(SdkBarcodes, BarcodesSurviveACloseAndComeAfterReopening) {
    vantu::Handle h = OpenScanner();
    ASSERT_TRUE(sim::Scan("s", {"1", "2"}));
    EXPECT_EQ(Fetch(h).bytes, "1");
    ASSERT_EQ(Dll().Close(h), 0u);
    ASSERT_TRUE(sim::Scan("s", {"3"}));  // closed: stays on the scanner
    ASSERT_EQ(Open(h), 0u);
    ASSERT_TRUE(sim::Transfer("s", 0));
    ASSERT_EQ(Dll().RequestDownload(h), 0u);
    EXPECT_EQ(FetchAll(h), (std::vector<std::string>{"2", "3"}));
}

TEST_F(SdkBarcodes, TwoThreadsOnOneHandleLoseDuplicateAndReorderNothing) {
    vantu::Handle h = OpenScanner();
    constexpr int First = 600, Second = 600;
    std::vector<std::string> batch1, batch2;
    for (int i = 0; i < First; ++i) batch1.push_back(Numbered(i));
    for (int i = First; i < First + Second; ++i) batch2.push_back(Numbered(i));
    ASSERT_TRUE(sim::Scan("s", batch1));

    std::atomic<bool> allScanned{false};
    std::vector<std::string> got[2];
    auto fetcher = [&](int which) {
        for (;;) {
            int16_t count = 0;
            vantu::Result r = Dll().GetBarCodeCount(h, &count);
            if (r == 0 && count == 0 && allScanned) {
                // One more look: a scan may have landed after the count.
                Fetched f = Fetch(h);
                if (f.result != 0) return;
                got[which].push_back(f.bytes);
                continue;
            }
            Fetched f = Fetch(h);
            if (f.result == 0) got[which].push_back(f.bytes);
        }
    };
    std::thread a(fetcher, 0), b(fetcher, 1);
    bool scanned = sim::Scan("s", batch2);  // from another process, while both fetch
    allScanned = true;
    a.join();
    b.join();
    ASSERT_TRUE(scanned);

    std::set<std::string> seen;
    for (int t = 0; t < 2; ++t) {
        for (size_t i = 1; i < got[t].size(); ++i)
            EXPECT_LT(NumberOf(got[t][i - 1]), NumberOf(got[t][i])) << "thread " << t << " out of order";
        for (const std::string& s : got[t]) EXPECT_TRUE(seen.insert(s).second) << "duplicate " << s;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(First + Second));
    for (int i = 0; i < First + Second; ++i) EXPECT_TRUE(seen.count(Numbered(i))) << "lost " << i;
    EXPECT_GT(got[0].size(), 0u);
    EXPECT_GT(got[1].size(), 0u);
}

// The soak's load: 10,000 barcodes of 250 bytes. Fetching stays as quick at
// the end of the log as at its start, and every barcode comes back whole.
TEST_F(SdkBarcodes, TenThousandLongBarcodesCostTheSamePerFetchThroughout) {
    vantu::Handle h = OpenScanner();
    constexpr int Total = 10000, Chunk = 1000;
    std::vector<std::string> batch;
    for (int i = 0; i < Total; ++i) {
        std::string b = Numbered(i) + "|";
        b.resize(250, static_cast<char>('A' + i % 26));
        batch.push_back(b);
    }
    DWORD scanStart = ::GetTickCount();
    ASSERT_TRUE(sim::Scan("s", batch));
    DWORD scanMs = ::GetTickCount() - scanStart;
    ASSERT_EQ(Count(h), Total);

    std::vector<DWORD> chunkMs;
    for (int c = 0; c < Total / Chunk; ++c) {
        DWORD start = ::GetTickCount();
        for (int i = c * Chunk; i < (c + 1) * Chunk; ++i) {
            Fetched f = Fetch(h);
            ASSERT_EQ(f.result, 0u) << i;
            ASSERT_EQ(f.bytes, batch[i]) << i;
        }
        chunkMs.push_back(::GetTickCount() - start);
    }
    EXPECT_EQ(Count(h), 0);
    DWORD total = 0;
    for (DWORD ms : chunkMs) total += ms;
    std::printf("scan of %d barcodes: %lu ms; fetch: %lu ms in all, %.3f ms each; first chunk %lu ms, last %lu ms\n",
                Total, static_cast<unsigned long>(scanMs), static_cast<unsigned long>(total),
                static_cast<double>(total) / Total, static_cast<unsigned long>(chunkMs.front()),
                static_cast<unsigned long>(chunkMs.back()));
    EXPECT_LT(chunkMs.back(), 3 * chunkMs.front() + 200);
}
