// `tessavo-decode --list-params`: the parameter catalogue as CSV or JSON.
#pragma once

#include <ostream>

namespace tessavo::cli {

// Columns: id,kind,name,unit,scale,payload_length,writers (writers space-separated).
void WriteCatalogueCsv(std::ostream& out);

// A JSON array of {id, kind, name, unit, scale | payload_length, writers[]}.
void WriteCatalogueJson(std::ostream& out);

}  // namespace tessavo::cli
