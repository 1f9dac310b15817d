// Writes tessavo/params.h, the public names of every parameter ID, from the parameter
// catalogue: the build runs it, so the header always has the catalogue's names.
//
// Usage: tessavo-params-header OUTPUT   (the file is rewritten only when its text changes)
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "param_catalogue.h"

namespace {

using tessavo::cli::ParamInfo;
using tessavo::cli::ParamKind;

std::string MacroName(std::string_view name) {
    std::string macro = "TESSAVO_PARAM_";
    for (char c : name) {
        macro += std::isalnum(static_cast<unsigned char>(c)) != 0
                     ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                     : '_';
    }
    return macro;
}

// A comment may not close early.
std::string CommentText(std::string_view text) {
    std::string out(text);
    for (size_t at = out.find("*/"); at != std::string::npos; at = out.find("*/", at)) {
        out.replace(at, 2, "* /");
    }
    return out;
}

std::string Define(const ParamInfo& info) {
    char id[16];
    std::snprintf(id, sizeof id, "0x%08Xu", static_cast<unsigned>(info.id));
    std::string what;
    if (info.kind == ParamKind::kStruct) {
        what = std::to_string(info.payloadLength) + "-byte payload";
    } else {
        what = (info.unit.empty() ? std::string() : std::string(info.unit) + ", ") + "value / " +
               std::to_string(info.scale);
    }
    return "#define " + MacroName(info.name) + " " + id + " /* " + CommentText(what) + ": " +
           CommentText(info.description) + " */\n";
}

std::string HeaderText() {
    std::ostringstream out;
    out << "/*\n"
           " * Tessavo parameter IDs, with the unit of each scalar and the divisor of its stored\n"
           " * value (real value = DecodeParam.value / scale). Written by the build from the\n"
           " * parameter catalogue (tessavo-decode --list-params): do not edit.\n"
           " */\n"
           "#ifndef TESSAVO_PARAMS_H\n"
           "#define TESSAVO_PARAMS_H\n"
           "\n/* Scalar parameters: DecodeParam.id */\n";
    for (const ParamInfo& info : tessavo::cli::ScalarParams()) out << Define(info);
    out << "\n/* Structured parameters: DecodeStructParam.id */\n";
    for (const ParamInfo& info : tessavo::cli::StructParams()) out << Define(info);
    out << "\n#endif /* TESSAVO_PARAMS_H */\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessavo-params-header OUTPUT\n");
        return 2;
    }
    const std::string text = HeaderText();
    std::ifstream existing(argv[1], std::ios::binary);
    std::ostringstream old;
    old << existing.rdbuf();
    if (existing && old.str() == text) return 0;
    existing.close();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "tessavo-params-header: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
