// The stress run in its CI size. VASK_STRESS_SEED replays a run; otherwise
// each run draws a new seed, printed with the result.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "tests/stress/Stress.h"

TEST(Stress, ThreeHundredRandomRoundsLoseNoBarcodeMisuseNoHandleAndNeverHang) {
    stresstest::StressOptions options;
    options.rounds = 300;
    const char* seed = std::getenv("VASK_STRESS_SEED");
    options.seed = seed && *seed ? static_cast<uint32_t>(std::strtoul(seed, nullptr, 10))
                                 : static_cast<uint32_t>(std::time(nullptr));
    const stresstest::StressResult result = stresstest::RunStress(options);
    const std::string summary = stresstest::Summary(options, result);
    std::printf("%s\n", summary.c_str());
    EXPECT_EQ(result.rounds, 300u) << summary;
    EXPECT_TRUE(result.ok()) << "replay with VASK_STRESS_SEED=" << options.seed << "\n" << summary;
}
