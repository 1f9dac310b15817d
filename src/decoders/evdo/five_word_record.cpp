#include "decoders/evdo/five_word_record.h"

#include <cstring>

#include "bits/bit_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr StructParamRef kWordsBlob = StructParam(0x7F0107E2);
constexpr ParamRef kWords[] = {Param(0x7F018328), Param(0x7F018329), Param(0x7F01832A),
                               Param(0x7F01832B), Param(0x7F01832C)};

}  // namespace

int ParseFiveWordRecord(PacketView packet, FiveWordRecord& record) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    BitReader reader;
    reader.Attach(packet.Data() + kLogOffsetPayload,
                  packet.Length() > kLogOffsetPayload ? packet.Length() - kLogOffsetPayload : 0);
    FieldTemps temps(reader);
    for (uint32_t& w : record.words) temps.Lsb(w, 32);
    return 1;
}

void ParseOnly1062(DecoderContext&, PacketView packet, int32_t) {
    FiveWordRecord record{};
    ParseFiveWordRecord(packet, record);
}

void Handle1062(DecoderContext& ctx, PacketView packet, int32_t) {
    FiveWordRecord record{};
    ParseFiveWordRecord(packet, record);

    uint8_t blob[sizeof record.words];
    std::memcpy(blob, record.words.data(), sizeof blob);
    PublishStruct(ctx, kWordsBlob, blob, sizeof blob);

    ParamRun run(ctx);
    for (size_t i = 0; i < record.words.size(); ++i) {
        run.Set(kWords[i], static_cast<int32_t>(record.words[i]));
    }
    run.Finish();
}

}  // namespace tessavo
