#include "item_builder.h"

#include <pybind11/stl.h>

#include "message_names.h"
#include "param_catalogue.h"

namespace tessavo::python {
namespace {

bool IsSet(int32_t state) {
    return state == TESSAVO_STATE_FRESH || state == TESSAVO_STATE_INHERITED;
}

py::object Shown(const DecodeParam& param, std::span<const DecodeParam> list) {
    return ShownPy(cli::ShowValue(cli::FindParam(param.id), param, list));
}

py::bytes Bytes(std::span<const uint8_t> bytes) {
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

py::object Optional(const auto& value) {
    return value ? py::object(py::int_(*value)) : py::object(py::none());
}

}  // namespace

Block BlockNamed(const std::string& name) {
    static const std::pair<const char*, Block> kNames[] = {{"payload", Block::kPayload},
                                                           {"frame", Block::kFrame},
                                                           {"compact", Block::kCompact},
                                                           {"dtlog", Block::kDtlog},
                                                           {"outfile", Block::kOutFile}};
    for (const auto& [text, block] : kNames) {
        if (name == text) return block;
    }
    throw py::value_error("unknown block '" + name +
                          "'; of payload, frame, compact, dtlog, outfile");
}

ItemBuilder::ItemBuilder(py::object itemType, std::vector<std::string> blocks, bool inherited)
    : itemType_(std::move(itemType)), inherited_(inherited) {
    for (const std::string& name : blocks) blocks_.emplace_back(py::str(name), BlockNamed(name));
}

py::dict ItemBuilder::Blocks(const cli::ItemView& item) {
    py::dict out;
    for (const auto& [name, block] : blocks_) {
        std::span<const uint8_t> bytes;
        switch (block) {
            case Block::kPayload:
                bytes = item.payload;
                break;
            case Block::kFrame:
                bytes = item.frame;
                break;
            case Block::kCompact:
                bytes = item.compact;
                break;
            case Block::kDtlog:
                bytes = item.dtlog;
                break;
            case Block::kOutFile:
                bytes = item.outFile;
                break;
        }
        out[name] = Bytes(bytes);
    }
    return out;
}

py::object ItemBuilder::MessageName(uint32_t msgCode) {
    auto found = messageNames_.find(msgCode);
    if (found == messageNames_.end()) {
        const std::string name = cli::MessageNameOf(msgCode);
        py::object value = name.empty() ? py::object(py::none()) : py::object(py::str(name));
        found = messageNames_.emplace(msgCode, std::move(value)).first;
    }
    return found->second;
}

py::object ItemBuilder::Build(const cli::ItemView& item) {
    py::dict params;
    py::list cleared;
    for (const DecodeParam& param : item.currentParams) {
        if (param.state == TESSAVO_STATE_FRESH) {
            params[names_.Of(param.id)] = Shown(param, item.currentParams);
        } else if (param.state < 0) {
            cleared.append(names_.Of(param.id));
        }
    }
    py::dict structs;
    for (const cli::StructParamRecord& record : item.currentStructs) {
        if (IsSet(record.state))
            structs[names_.Of(record.id)] = StructValue(record.id, record.payload);
    }
    py::object inherited = py::none();
    if (inherited_) {
        py::dict values;
        for (const DecodeParam& param : item.inheritedParams) {
            if (IsSet(param.state)) values[names_.Of(param.id)] = Shown(param, item.inheritedParams);
        }
        for (const cli::StructParamRecord& record : item.inheritedStructs) {
            if (IsSet(record.state)) {
                values[names_.Of(record.id)] = StructValue(record.id, record.payload);
            }
        }
        inherited = std::move(values);
    }
    const cli::UtcInstant instant = clock_.ToUtc(item.time);
    return itemType_(item.index, UtcDatetime(instant),
                     py::make_tuple(item.time.seconds, item.time.microseconds), item.msgCode,
                     Optional(item.identity.logCode), Optional(item.identity.command),
                     item.direction, std::move(params), py::tuple(cleared), std::move(structs),
                     std::move(inherited), Blocks(item), instant.leapSecond,
                     MessageName(item.msgCode));
}

}  // namespace tessavo::python
