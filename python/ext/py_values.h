// Python values of the tools' data: catalogue names as interned strings, structured
// parameters as the CLI's JSON fields, instants as UTC datetimes.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <unordered_map>

#include "item_time.h"
#include "value_text.h"

namespace tessavo::python {

namespace py = pybind11;

// A JSON value as dicts, lists, ints, floats, strings, bools and None.
py::object FromJson(const nlohmann::ordered_json& value);

// The fields of a structured parameter, decoded as the CLI's JSONL shows them; the payload
// as bytes when its layout is not decoded.
py::object StructValue(uint32_t id, std::span<const uint8_t> payload);

// A scalar as the CLI shows it: an int, a float (coded values in engineering units), a str
// (identities: the ESN in hex, the IMSI as digits) or None (a code outside its table).
py::object ShownPy(const cli::ShownValue& shown);

// The catalogue name of an ID (one Python string per ID, made once).
class ParamNames {
  public:
    const py::str& Of(uint32_t id);

  private:
    std::unordered_map<uint32_t, py::str> names_;
};

// An instant as a timezone-aware datetime in UTC (an inserted leap second shows as the
// 23:59:59 before it: a datetime has no second 60).
py::object UtcDatetime(const cli::UtcInstant& instant);

}  // namespace tessavo::python
