// vask-stress [ROUNDS [SEED]]: the stress run at any length (1,000 rounds
// unless told); prints its seed, its progress and its figures, and exits 1
// on any failure.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tests/stress/Stress.h"

int main(int argc, char** argv) {
    stresstest::StressOptions options;
    options.rounds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    options.seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10))
                            : static_cast<uint32_t>(std::time(nullptr));
    options.progress = true;
    std::printf("stress: %zu rounds, seed %u (replay: ./vask.sh stress %zu %u)\n", options.rounds, options.seed,
                options.rounds, options.seed);
    std::fflush(stdout);
    const stresstest::StressResult result = stresstest::RunStress(options);
    std::printf("%s\n", stresstest::Summary(options, result).c_str());
    return result.ok() ? 0 : 1;
}
