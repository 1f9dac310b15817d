#include "catalogue_listing.h"

#include <nlohmann/json.hpp>
#include <string>

#include "param_catalogue.h"
#include "text_format.h"

namespace tessavo::cli {

void WriteCatalogueCsv(std::ostream& out) {
    out << "id,kind,name,unit,scale,payload_length,writers\n";
    for (const ParamInfo& info : ParamCatalogue()) {
        bool scalar = info.kind == ParamKind::kScalar;
        out << HexNumber(info.id, 8) << ',' << (scalar ? "scalar" : "struct") << ','
            << CsvField(info.name) << ',' << CsvField(info.unit) << ',';
        if (scalar) out << info.scale;
        out << ',';
        if (!scalar) out << info.payloadLength;
        out << ',' << CsvField(info.writers) << '\n';
    }
}

void WriteCatalogueJson(std::ostream& out) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ParamInfo& info : ParamCatalogue()) {
        nlohmann::ordered_json entry;
        bool scalar = info.kind == ParamKind::kScalar;
        entry["id"] = HexNumber(info.id, 8);
        entry["kind"] = scalar ? "scalar" : "struct";
        entry["name"] = std::string(info.name);
        if (scalar) {
            entry["unit"] = std::string(info.unit);
            entry["scale"] = info.scale;
        } else {
            entry["payload_length"] = info.payloadLength;
        }
        nlohmann::ordered_json writers = nlohmann::ordered_json::array();
        std::string_view rest = info.writers;
        while (!rest.empty()) {
            size_t space = rest.find(' ');
            writers.push_back(std::string(rest.substr(0, space)));
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
        entry["writers"] = writers;
        list.push_back(entry);
    }
    out << list.dump(2) << '\n';
}

}  // namespace tessavo::cli
