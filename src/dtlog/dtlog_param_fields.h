// Where the fresh parameters of a packet land in the DTLog records: the scalar parameters by
// ID, and selected words of seven structured parameters.
#pragma once

#include "dtlog/dtlog_builder.h"
#include "params/report_item.h"

namespace tessavo {

// Stores every Fresh entry of the current scalar list that has a DTLog field.
void RenderScalarParams(const ReportItem& item, DtLogBuilder& builder);

// Stores the fields taken from the Fresh entries of the current structured list. A field
// written by two parameters (PCP field 2) keeps the later one in list order.
void RenderStructParams(const ReportItem& item, DtLogBuilder& builder);

}  // namespace tessavo
