#include "catalogue_listing.h"

#include <nlohmann/json.hpp>
#include <string>

#include "param_catalogue.h"
#include "struct_views.h"
#include "text_format.h"

namespace tessavo::cli {

void WriteCatalogueCsv(std::ostream& out) {
    out << "id,kind,name,unit,scale,payload_length,writers,description,values\n";
    for (const ParamInfo& info : ParamCatalogue()) {
        bool scalar = info.kind == ParamKind::kScalar;
        out << HexNumber(info.id, 8) << ',' << (scalar ? "scalar" : "struct") << ','
            << CsvField(info.name) << ',' << CsvField(info.unit) << ',';
        if (scalar) out << info.scale;
        out << ',';
        if (!scalar) out << info.payloadLength;
        std::string values;
        for (const ValueLabel& label : info.labels) {
            if (!values.empty()) values += ' ';
            values += std::to_string(label.value) + '=' + std::string(label.label);
        }
        out << ',' << CsvField(info.writers) << ',' << CsvField(info.description) << ','
            << CsvField(values) << '\n';
    }
    for (const ViewInfo& view : ScalarViews()) {
        out << ",view," << CsvField(view.name) << ',' << CsvField(view.unit) << ",,,"
            << HexNumber(view.source, 8) << ',' << CsvField(view.description) << ",\n";
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
        entry["description"] = std::string(info.description);
        if (!info.labels.empty()) {
            nlohmann::ordered_json values = nlohmann::ordered_json::object();
            for (const ValueLabel& label : info.labels) {
                values[std::to_string(label.value)] = std::string(label.label);
            }
            entry["values"] = values;
        }
        list.push_back(entry);
    }
    for (const ViewInfo& view : ScalarViews()) {
        list.push_back({{"kind", "view"},
                        {"name", std::string(view.name)},
                        {"unit", std::string(view.unit)},
                        {"source", HexNumber(view.source, 8)},
                        {"description", std::string(view.description)}});
    }
    out << list.dump(2) << '\n';
}

}  // namespace tessavo::cli
