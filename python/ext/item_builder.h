// Report items as Python `tessavo.Item` objects, made right after each collection (the
// views of an item die at the next decode call).
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "item_time.h"
#include "py_values.h"
#include "report_item_reader.h"

namespace tessavo::python {

// Side blocks an item may carry, by the names `Item.blocks` uses.
enum class Block { kPayload, kFrame, kCompact, kDtlog, kOutFile };
Block BlockNamed(const std::string& name);  // raises ValueError for an unknown name

class ItemBuilder {
  public:
    // `itemType` is called with the fields of an Item, in their order.
    ItemBuilder(py::object itemType, std::vector<std::string> blocks, bool inherited);

    py::object Build(const cli::ItemView& item);

  private:
    py::dict Blocks(const cli::ItemView& item);
    // The signalling message's name (one string per message code, made once), or None.
    py::object MessageName(uint32_t msgCode);

    py::object itemType_;
    std::vector<std::pair<py::str, Block>> blocks_;
    bool inherited_;
    cli::ItemClock clock_;  // the library's origin in the zone of the process now
    ParamNames names_;
    std::unordered_map<uint32_t, py::object> messageNames_;
};

}  // namespace tessavo::python
