// Items appended by copying only what changed are the items a whole copy gives: the captures,
// the bundled sample and the fuzz corpus are decoded by twin objects in the documented host
// loop (64 KB pieces, collect after every call, re-feed the tail), once with the side forms
// off and once with re-encoding, OutFile and DTLog on, and every item is compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/twin_decoders.h"
#include "tessavo/tessavo.h"

namespace tessavo::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.is_regular_file() && e.path().extension() != ".md" &&
            e.path().filename().string()[0] != '.') {
            files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Decodes the bytes in the host loop on both objects.
void DecodeTwice(TwinDecoders& twins, const std::vector<uint8_t>& bytes) {
    constexpr size_t kPiece = 65536;
    for (size_t at = 0; at < bytes.size() && twins.Mismatch().empty();) {
        const auto n = static_cast<int32_t>(std::min(kPiece, bytes.size() - at));
        const int32_t left = twins.DecodeNoDynamic(bytes.data() + at, n, 1000);
        const int32_t collected = twins.CollectAndCompare();
        if (left < 0 || (left >= n && collected == 0)) break;  // refused, or no progress
        at += static_cast<size_t>(n - left);
    }
}

struct Corpus {
    const char* name;
    std::vector<fs::path> files;
};

std::vector<Corpus> Corpora() {
    return {
        {"captures", FilesIn(TESSAVO_CAPTURES_DIR)},
        {"sample", {fs::path(TESSAVO_SOURCE_DIR) / "samples" / "drive_test.bin"}},
        {"fuzz seeds", FilesIn(TESSAVO_FUZZ_SEEDS_DIR)},
        {"fuzz regressions", FilesIn(fs::path(TESSAVO_SOURCE_DIR) / "fuzz" / "regressions")},
    };
}

class AppendPaths : public ::testing::TestWithParam<int> {};

TEST_P(AppendPaths, IncrementalAppendGivesTheWholeCopysItems) {
    const Corpus corpus = Corpora()[static_cast<size_t>(GetParam())];
    if (corpus.files.empty() || !fs::exists(corpus.files.front())) {
        GTEST_SKIP() << corpus.name << " absent";
    }
    for (bool sideForms : {false, true}) {
        // One pair of objects takes the corpus's files one after the other.
        TwinDecoders twins(TESSAVO_MODULE_B101);
        ASSERT_TRUE(twins.Valid());
        if (sideForms) {
            for (int32_t code :
                 {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_DTLOG_ON}) {
                twins.Configure(code);
            }
        }
        for (const fs::path& file : corpus.files) {
            DecodeTwice(twins, ReadFile(file));
            EXPECT_EQ(twins.Mismatch(), "") << file << (sideForms ? " (side forms on)" : "");
            if (!twins.Mismatch().empty()) break;
        }
        // Every corpus yields items; a loop that compared nothing would prove nothing.
        EXPECT_GT(twins.ItemsCompared(), 0) << corpus.name;
    }
}

std::string CorpusName(const ::testing::TestParamInfo<int>& info) {
    constexpr const char* kNames[] = {"Captures", "Sample", "FuzzSeeds", "FuzzRegressions"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Corpora, AppendPaths, ::testing::Range(0, 4), CorpusName);

}  // namespace
}  // namespace tessavo::test
