// The CL3 record: for signalling-message logs, the direction of the message, the 1x channel it
// travelled on, and the log record as hex.
#pragma once

#include "dtlog/dtlog_builder.h"
#include "params/report_item.h"

namespace tessavo {

// Fills CL3 when the high 16 bits of the item's message code are one of the ten signalling
// log codes; other items leave it empty.
void RenderSignalling(const ReportItem& item, DtLogBuilder& builder);

}  // namespace tessavo
