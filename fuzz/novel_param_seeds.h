// Seed streams found by search: for every routed log code, payloads drawn at several sizes
// (most of their bytes small, so that the counts, sizes and masks read from them describe
// records that fit) are decoded, and a payload is kept when its item publishes a parameter no
// payload kept before for that code published. Counted groups and lists that random bytes
// almost never describe well are walked this way, and each kept payload reaches something the
// others do not.
#pragma once

#include <vector>

#include "fuzz/ota_seeds.h"

namespace tessavo::fuzz {

std::vector<SeedStream> NovelParamSeedStreams();

}  // namespace tessavo::fuzz
