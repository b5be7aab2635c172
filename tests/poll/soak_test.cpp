// The soak in a size for every test run: random barcodes with control bytes
// and bytes 0x80 to 0xFF, none lost, duplicated, reordered or changed.
#include <gtest/gtest.h>

#include "config/Application.h"
#include "tests/poll/PollHarness.h"
#include "tests/poll/Soak.h"

using namespace polltest;

TEST(RandomBarcodes, CoverEveryLengthClassAndByteClass) {
    const auto barcodes = RandomBarcodes(2000, 7);
    ASSERT_EQ(barcodes.size(), 2000u);
    bool shortest = false, longest = false, control = false, nul = false, high = false, del = false;
    for (const std::string& b : barcodes) {
        ASSERT_GE(b.size(), 1u);
        ASSERT_LE(b.size(), 250u);
        shortest |= b.size() == 1;
        longest |= b.size() == 250;
        for (char c : b) {
            const auto byte = static_cast<uint8_t>(c);
            control |= byte > 0 && byte < 0x20;
            nul |= byte == 0;
            del |= byte == 0x7F;
            high |= byte >= 0x80;
        }
    }
    EXPECT_TRUE(shortest && longest && control && nul && high && del);
    EXPECT_EQ(RandomBarcodes(50, 7), RandomBarcodes(50, 7));
    EXPECT_NE(RandomBarcodes(50, 7), RandomBarcodes(50, 8));
}

TEST(Soak, TwoHundredRandomBarcodesArriveExactlyOnceAndInOrder) {
    ASSERT_TRUE(PrepareSimulatedScanner());
    App.SetFormat(FormatSettings{});
    SoakOptions options;
    options.count = 200;
    options.chunk = 50;
    const SoakResult result = RunSoak(options);
    EXPECT_TRUE(result.ok) << result.failure;
    EXPECT_EQ(result.delivered, 200u);
}
