// `tessavo-decode --list-params`: the parameter catalogue as CSV or JSON.
#pragma once

#include <ostream>

namespace tessavo::cli {

// Columns: id,kind,name,unit,scale,payload_length,writers,description,values (writers
// space-separated, values "0=idle 1=access"). After the catalogue, the CSV views of
// structured parameters: kind "view", no ID, their source parameter under writers.
void WriteCatalogueCsv(std::ostream& out);

// A JSON array of {id, kind, name, unit, scale | payload_length, writers[], description,
// values{}} and then {kind: "view", name, unit, source, description}.
void WriteCatalogueJson(std::ostream& out);

// The signalling message names (message_names.h): log codes, EV-DO protocol, type, name.
void WriteMessagesCsv(std::ostream& out);
void WriteMessagesJson(std::ostream& out);

}  // namespace tessavo::cli
