// tessavo/params.h, written by the build, names every parameter of the catalogue: one define
// per ID, its name the catalogue's in capitals, its unit and scale in the comment.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "param_catalogue.h"
#include "tessavo/params.h"  // compiles as C++ (the C11 check includes it too)

namespace tessavo::cli {
namespace {

struct Line {
    uint32_t id;
    std::string comment;
};

TEST(ParamsHeader, OneDefinePerCatalogueEntry) {
    std::ifstream in(TESSAVO_PARAMS_HEADER);
    ASSERT_TRUE(in) << TESSAVO_PARAMS_HEADER;
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    const std::regex define(R"(#define (TESSAVO_PARAM_\w+) 0x([0-9A-F]{8})u /\* (.*) \*/\n)");
    std::map<std::string, Line> lines;
    for (auto it = std::sregex_iterator(all.begin(), all.end(), define);
         it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        EXPECT_TRUE(lines
                        .emplace(m[1].str(), Line{static_cast<uint32_t>(std::stoul(m[2], nullptr, 16)),
                                                  m[3].str()})
                        .second)
            << "defined twice: " << m[1];
    }
    EXPECT_EQ(lines.size(), ParamCatalogue().size());
    for (const ParamInfo& info : ParamCatalogue()) {
        std::string macro = "TESSAVO_PARAM_";
        for (char c : info.name) macro += static_cast<char>(std::toupper(c));
        const auto found = lines.find(macro);
        ASSERT_NE(found, lines.end()) << macro;
        EXPECT_EQ(found->second.id, info.id) << macro;
        const std::string& comment = found->second.comment;
        if (info.kind == ParamKind::kScalar) {
            EXPECT_NE(comment.find("value / " + std::to_string(info.scale) + ":"), std::string::npos)
                << macro << ": " << comment;
            EXPECT_EQ(comment.rfind(std::string(info.unit), 0), 0u) << macro << ": " << comment;
        } else {
            EXPECT_EQ(comment.rfind(std::to_string(info.payloadLength) + "-byte payload", 0), 0u)
                << macro << ": " << comment;
        }
        EXPECT_NE(comment.find(std::string(info.description).substr(0, 20)), std::string::npos)
            << macro;
    }
}

}  // namespace
}  // namespace tessavo::cli
