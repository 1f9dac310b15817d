#include "catalogue_listing.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "message_names.h"
#include "param_catalogue.h"
#include "struct_views.h"
#include "text_format.h"

namespace tessavo::cli {
namespace {

std::string_view FormName(ValueForm form) {
    switch (form) {
        case ValueForm::kHex:
            return "hex";
        case ValueForm::kDigits:
            return "digits";
        case ValueForm::kPairHigh:
            return "pair_high";
        case ValueForm::kPairLow:
            return "pair_low";
        case ValueForm::kNumber:
            break;
    }
    return "number";
}

// The rows of the message table with their log codes: a 1x row once per log code of its
// channel, an EV-DO row once (its protocol decides, not the log).
struct MessageListRow {
    std::string logCodes;
    std::string protocol;
    unsigned type;
    std::string_view name;
};

std::vector<MessageListRow> MessageList() {
    std::vector<MessageListRow> rows;
    for (const MessageNameRow& row : MessageNames()) {
        std::string logCodes;
        for (const SignallingLogRow& log : SignallingLogs()) {
            if (log.channel != row.channel) continue;
            logCodes += (logCodes.empty() ? "" : " ") + HexNumber(log.logCode, 4);
        }
        std::string protocol;
        unsigned type = row.type;
        if (row.channel == MessageChannel::kEvdo) {
            const unsigned number = row.type >> 8;
            protocol = "any";
            for (const ProtocolNameRow& p : EvdoProtocolNames()) {
                if (p.protocol == number) protocol = p.name;
            }
            type = row.type & 0xFF;
        }
        rows.push_back({logCodes, protocol, type, row.name});
    }
    return rows;
}

}  // namespace

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

void WriteMessagesCsv(std::ostream& out) {
    out << "log_codes,protocol,type,name\n";
    for (const MessageListRow& row : MessageList()) {
        out << CsvField(row.logCodes) << ',' << CsvField(row.protocol) << ',' << row.type << ','
            << CsvField(row.name) << '\n';
    }
}

void WriteMessagesJson(std::ostream& out) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const MessageListRow& row : MessageList()) {
        nlohmann::ordered_json entry;
        nlohmann::ordered_json logs = nlohmann::ordered_json::array();
        std::string_view rest = row.logCodes;
        while (!rest.empty()) {
            size_t space = rest.find(' ');
            logs.push_back(std::string(rest.substr(0, space)));
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
        entry["log_codes"] = logs;
        if (!row.protocol.empty()) entry["protocol"] = row.protocol;
        entry["type"] = row.type;
        entry["name"] = std::string(row.name);
        list.push_back(entry);
    }
    out << list.dump(2) << '\n';
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
        if (info.coding != nullptr) {
            const ValueCoding& coding = *info.coding;
            entry["coding"] = {
                {"unit", std::string(coding.unit)},
                {"multiplier", coding.multiplier},
                {"scale", coding.scale},
                {"signed_bits", coding.signedBits},
                {"table", std::vector<int32_t>(coding.table.begin(), coding.table.end())}};
        }
        if (info.form != ValueForm::kNumber) {
            entry["form"] = FormName(info.form);
            entry["digits"] = info.digits;
            if (info.pairId != 0) entry["pair"] = HexNumber(info.pairId, 8);
        }
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
