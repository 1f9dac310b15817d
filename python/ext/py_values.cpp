#include "py_values.h"

#include <datetime.h>

#include <chrono>

#include "param_catalogue.h"
#include "struct_views.h"

namespace tessavo::python {

py::object FromJson(const nlohmann::ordered_json& value) {
    using Type = nlohmann::ordered_json::value_t;
    switch (value.type()) {
        case Type::null:
        case Type::discarded:
            return py::none();
        case Type::boolean:
            return py::bool_(value.get<bool>());
        case Type::number_integer:
            return py::int_(value.get<int64_t>());
        case Type::number_unsigned:
            return py::int_(value.get<uint64_t>());
        case Type::number_float:
            return py::float_(value.get<double>());
        case Type::string:
            return py::str(value.get_ref<const std::string&>());
        case Type::array: {
            py::list list(value.size());
            size_t i = 0;
            for (const auto& element : value) list[i++] = FromJson(element);
            return list;
        }
        case Type::object: {
            py::dict dict;
            for (const auto& [key, element] : value.items()) dict[py::str(key)] = FromJson(element);
            return dict;
        }
        case Type::binary:
            break;
    }
    return py::none();
}

py::object StructValue(uint32_t id, std::span<const uint8_t> payload) {
    nlohmann::ordered_json fields = cli::StructFields(id, payload);
    if (fields.is_null()) {
        return py::bytes(reinterpret_cast<const char*>(payload.data()), payload.size());
    }
    return FromJson(fields);
}

py::object ShownPy(const cli::ShownValue& shown) {
    switch (shown.kind) {
        case cli::ShownValue::Kind::kText:
            return py::str(shown.text);
        case cli::ShownValue::Kind::kNone:
            return py::none();
        case cli::ShownValue::Kind::kNumber:
            break;
    }
    if (shown.divisor == 1) return py::int_(shown.number);
    return py::float_(static_cast<double>(shown.number) / static_cast<double>(shown.divisor));
}

const py::str& ParamNames::Of(uint32_t id) {
    auto found = names_.find(id);
    if (found != names_.end()) return found->second;
    py::str name(cli::ParamName(id));
    PyUnicode_InternInPlace(&name.ptr());
    return names_.emplace(id, std::move(name)).first->second;
}

py::object UtcDatetime(const cli::UtcInstant& instant) {
    if (PyDateTimeAPI == nullptr) PyDateTime_IMPORT;
    using namespace std::chrono;
    const sys_seconds at{seconds{instant.seconds}};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss clock{at - day};
    PyObject* value = PyDateTimeAPI->DateTime_FromDateAndTime(
        static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
        static_cast<int>(static_cast<unsigned>(date.day())),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), instant.microseconds, PyDateTime_TimeZone_UTC,
        PyDateTimeAPI->DateTimeType);
    if (value == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(value);
}

}  // namespace tessavo::python
