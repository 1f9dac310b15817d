// tessavo._decode: the package's fast path over the library and the tools' shared code.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "capture_job.h"
#include "catalogue_binding.h"
#include "py_session.h"

namespace py = pybind11;
using tessavo::python::PySession;
using tessavo::python::SessionOptions;

PYBIND11_MODULE(_decode, module) {
    module.doc() = "Decoder objects of the Tessavo library read in bulk (see tessavo.decoder).";
    tessavo::python::DefineCatalogue(module);
    tessavo::python::DefineCaptureJob(module);

    py::class_<PySession>(module, "Session")
        .def(py::init([](uint32_t moduleType, py::object itemType, bool reencode, bool outFile,
                         bool dtlog, bool wholeBuffer, bool wholeFrame, bool inherited,
                         std::vector<std::string> blocks, std::vector<uint16_t> logCodes,
                         std::vector<std::string> params, bool decodedOnly) {
                 SessionOptions options;
                 options.module = moduleType;
                 options.reencode = reencode;
                 options.outFile = outFile;
                 options.dtlog = dtlog;
                 options.wholeBuffer = wholeBuffer;
                 options.wholeFrame = wholeFrame;
                 options.inherited = inherited;
                 options.blocks = std::move(blocks);
                 options.logCodes = std::move(logCodes);
                 options.params = std::move(params);
                 options.decodedOnly = decodedOnly;
                 return std::make_unique<PySession>(options, std::move(itemType));
             }),
             py::arg("module"), py::arg("item_type") = py::none(), py::kw_only(),
             py::arg("reencode") = false, py::arg("outfile") = false, py::arg("dtlog") = false,
             py::arg("whole_buffer") = false, py::arg("whole_frame") = false,
             py::arg("inherited") = false, py::arg("blocks") = std::vector<std::string>(),
             py::arg("log_codes") = std::vector<uint16_t>(),
             py::arg("params") = std::vector<std::string>(), py::arg("decoded_only") = false)
        .def("feed", &PySession::Feed, py::arg("data"), py::arg("host_seconds") = 0,
             py::arg("host_micros") = 0)
        .def("finish", &PySession::Finish)
        .def_property_readonly("items", &PySession::Items)
        .def_property_readonly("failures", &PySession::Failures)
        .def("take_messages", &PySession::TakeMessages)
        .def("rows", [](PySession& s) { return s.Columns().Rows(); })
        .def("found_columns", [](PySession& s) { return s.Columns().FoundColumns(); })
        .def(
            "take",
            [](PySession& s, const std::vector<uint16_t>& floats,
               const std::vector<uint16_t>& integers, const std::vector<uint16_t>& texts,
               bool longLayout, size_t limit) {
                return s.Columns().Take(floats, integers, texts, longLayout, limit);
            },
            py::arg("floats"), py::arg("integers"), py::arg("texts"),
            py::arg("long_layout") = false,
            py::arg("limit") = SIZE_MAX);
    module.attr("VIEW_KEY_BASE") = tessavo::python::kViewKeyBase;
    module.def("is_text_key", &tessavo::python::ColumnarBatch::IsTextKey,
               "Whether a column key's values are texts (identities).");
}
