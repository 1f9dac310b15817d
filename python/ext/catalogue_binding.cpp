#include "catalogue_binding.h"

#include <pybind11/stl.h>

#include "frame_scan.h"
#include "message_names.h"
#include "param_catalogue.h"
#include "py_values.h"
#include "struct_views.h"
#include "summary_sink.h"
#include "tessavo/tessavo.h"

namespace tessavo::python {
namespace {

py::tuple Writers(std::string_view text) {
    py::list writers;
    while (!text.empty()) {
        size_t space = text.find(' ');
        writers.append(py::str(std::string(text.substr(0, space))));
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    return py::tuple(writers);
}

py::str Str(std::string_view text) {
    return py::str(text.data(), text.size());
}

const char* FormName(cli::ValueForm form) {
    switch (form) {
        case cli::ValueForm::kHex:
            return "hex";
        case cli::ValueForm::kDigits:
            return "digits";
        case cli::ValueForm::kPairHigh:
            return "pair_high";
        case cli::ValueForm::kPairLow:
            return "pair_low";
        case cli::ValueForm::kNumber:
            break;
    }
    return "number";
}

// One dict per entry: the same fields as `tessavo-decode --list-params json`.
py::list Catalogue() {
    py::list entries;
    for (const cli::ParamInfo& info : cli::ParamCatalogue()) {
        py::dict entry;
        const bool scalar = info.kind == cli::ParamKind::kScalar;
        entry["id"] = info.id;
        entry["kind"] = scalar ? "scalar" : "struct";
        entry["name"] = Str(info.name);
        entry["unit"] = Str(info.unit);
        entry["scale"] = info.scale;
        entry["payload_length"] = info.payloadLength;
        entry["writers"] = Writers(info.writers);
        entry["description"] = Str(info.description);
        py::dict values;
        for (const cli::ValueLabel& label : info.labels)
            values[py::int_(label.value)] = Str(label.label);
        entry["values"] = values;
        py::object coding = py::none();
        if (info.coding != nullptr) {
            py::dict fields;
            fields["unit"] = Str(info.coding->unit);
            fields["multiplier"] = info.coding->multiplier;
            fields["scale"] = info.coding->scale;
            fields["signed_bits"] = info.coding->signedBits;
            fields["table"] = py::tuple(py::cast(std::vector<int32_t>(
                info.coding->table.begin(), info.coding->table.end())));
            coding = fields;
        }
        entry["coding"] = coding;
        entry["form"] = FormName(info.form);
        entry["digits"] = info.digits;
        entry["pair"] = info.pairId;
        entries.append(entry);
    }
    return entries;
}

py::list Views() {
    py::list views;
    for (const cli::ViewInfo& view : cli::ScalarViews()) {
        views.append(
            py::make_tuple(Str(view.name), Str(view.unit), view.source, Str(view.description)));
    }
    return views;
}

py::dict Modules() {
    py::dict modules;
    modules["B101"] = TESSAVO_MODULE_B101;
    modules["B200"] = TESSAVO_MODULE_B200;
    modules["B20A"] = TESSAVO_MODULE_B20A;
    modules["B20B"] = TESSAVO_MODULE_B20B;
    return modules;
}

// The tool's frame check over a whole capture, read in pieces by the caller.
class FrameCheck {
  public:
    void Feed(py::buffer data) {
        py::buffer_info info = data.request();
        std::span<const uint8_t> bytes(static_cast<const uint8_t*>(info.ptr),
                                       static_cast<size_t>(info.size * info.itemsize));
        py::gil_scoped_release unlocked;
        scanner_.Feed(bytes);
    }
    py::dict Counts() {
        scanner_.Finish();
        const cli::FrameCounts& counts = scanner_.Counts();
        py::dict out;
        out["frames"] = counts.frames;
        out["bad_crc"] = counts.crcFailures;
        out["compact"] = counts.compactFrames;
        out["oversized"] = counts.oversized;
        out["trailing_bytes"] = counts.trailingBytes;
        return out;
    }

  private:
    cli::FrameScanner scanner_;
};

}  // namespace

void DefineCatalogue(py::module_& module) {
    module.def("catalogue", &Catalogue,
               "Every parameter: dicts of id, kind, name, unit, scale, payload_length, writers, "
               "description, values.");
    module.def("views", &Views,
               "Scalar views of structured parameters: (name, unit, source, "
               "description).");
    module.def(
        "struct_fields",
        [](uint32_t id, py::bytes payload) {
            std::string_view bytes = payload;
            return StructValue(id, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
        },
        "The fields of a structured parameter's payload, as the CLI's JSONL shows them (the "
        "bytes when the layout is not decoded).");
    module.def(
        "message_name",
        [](uint32_t msgCode) -> py::object {
            const std::string name = cli::MessageNameOf(msgCode);
            return name.empty() ? py::object(py::none()) : py::object(py::str(name));
        },
        "The name of a signalling message by its message code, or None.");
    module.attr("MODULES") = Modules();
    module.attr("VERSION") =
        py::make_tuple(TESSAVO_VERSION_MAJOR, TESSAVO_VERSION_MINOR, TESSAVO_VERSION_PATCH);
    py::class_<FrameCheck>(module, "FrameCheck",
                           "Counts of the 0x7E-terminated frames of a byte stream and of those "
                           "whose CRC does not verify, as the CLI's summary counts them.")
        .def(py::init<>())
        .def("feed", &FrameCheck::Feed)
        .def("counts", &FrameCheck::Counts);
}

}  // namespace tessavo::python
