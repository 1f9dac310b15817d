// Seed streams of well-formed 1x over-the-air signalling messages: for every message code the
// access, reverse traffic, sync, paging and forward traffic decoders tell apart, log packets
// whose message type (and order, for the order messages) the dispatcher reads as that code,
// with bodies of several lengths and bit patterns so that the messages' optional fields and
// counted lists are taken both ways.
#pragma once

#include <string>
#include <vector>

#include "support/packet_builder.h"

namespace tessavo::fuzz {

struct SeedStream {
    std::string name;
    test::Bytes stream;
};

std::vector<SeedStream> OtaSeedStreams();

}  // namespace tessavo::fuzz
