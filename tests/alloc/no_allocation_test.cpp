// Nothing is allocated per packet: the real captures and the fuzz corpus are decoded with every
// side form switched on, and every allocation made inside a library call is counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "tessavo/tessavo.h"

namespace {

thread_local bool gCounting = false;
thread_local long gAllocations = 0;

// Counts the allocations made while `call` runs.
template <typename Call>
auto Counted(Call&& call) {
    gCounting = true;
    auto result = call();
    gCounting = false;
    return result;
}

}  // namespace

void* operator new(std::size_t size) {
    if (gCounting) ++gAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gCounting) ++gAllocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept {
    return operator new(size, t);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The documented host loop in 64 KB pieces, reading every item's lists and blocks.
void DecodeCounted(const std::vector<uint8_t>& bytes) {
    void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    ASSERT_NE(h, nullptr);
    for (int32_t code : {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_DTLOG_ON}) {
        SetDecoderConfiguration(h, code);
    }
    for (size_t at = 0; at < bytes.size();) {
        const auto n = static_cast<int32_t>(std::min<size_t>(65536, bytes.size() - at));
        const int32_t left =
            Counted([&] { return DecodeMsgProc_NoDynamic(h, bytes.data() + at, n, 0, 0); });
        ASSERT_GE(left, 0);
        const int32_t items = Counted([&] { return GetReportItemCountProc(h); });
        for (int32_t i = 0; i < items; ++i) {
            Counted([&] {
                int32_t status = 0;
                GetReportItemOutFileBinary(h, &status, i);
                GetReportItemDTLogBinary(h, i);
                GetReportItemBinaryToZelSimple(h, i);
                const uint32_t k = GetReportItemCurDecodeParamCount(h, i);
                for (uint32_t j = 0; j < k; ++j) {
                    GetReportItemCurDecodeParamList(h, i, static_cast<int32_t>(j));
                }
                return GetReportItemInheritDecodeStructParamCount(h, i);
            });
        }
        at += static_cast<size_t>(n - left);
    }
    FreeDecoderObjectProc(&h);
}

std::vector<std::filesystem::path> Inputs() {
    std::vector<std::filesystem::path> out;
    std::vector<std::string> dirs = {TESSAVO_CAPTURES_DIR};
    const std::string fuzzDirs = TESSAVO_FUZZ_INPUT_DIRS;
    for (size_t from = 0; from <= fuzzDirs.size();) {
        const size_t colon = std::min(fuzzDirs.find(':', from), fuzzDirs.size());
        dirs.push_back(fuzzDirs.substr(from, colon - from));
        from = colon + 1;
    }
    for (const std::string& dir : dirs) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && ext != ".md") out.push_back(entry.path());
        }
    }
    return out;
}

TEST(Allocation, NoneWhileDecodingCapturesAndFuzzInputs) {
    const std::vector<std::filesystem::path> inputs = Inputs();
    if (inputs.empty()) GTEST_SKIP() << "no captures and no fuzz corpus";
    for (const auto& path : inputs) {
        gAllocations = 0;
        DecodeCounted(ReadFile(path));
        EXPECT_EQ(gAllocations, 0) << path;
    }
}

}  // namespace
