#include "api/decoder_object.h"

#include <new>

#include "common/messages.h"
#include "dtlog/dtlog_builder.h"
#include "dtlog/dtlog_hook.h"
#include "framing/frame_decoder.h"

namespace tessavo {

DecoderObject::DecoderObject() = default;
DecoderObject::~DecoderObject() = default;

bool IsSupportedModuleType(uint32_t moduleType) {
    for (uint32_t t : kSupportedModuleTypes) {
        if (t == moduleType) return true;
    }
    return false;
}

DecoderObject* CreateDecoderObject(uint32_t moduleType) {
    if (!IsSupportedModuleType(moduleType)) {
        PrintMessage("The moduletype is not a supported chip type\n");
        return nullptr;
    }
    std::unique_ptr<DecoderObject> obj;
    try {
        obj = std::make_unique<DecoderObject>();
        obj->work = MakeFrameWorkBuffers();
        obj->collected.reserve(kRingSize);
    } catch (const std::bad_alloc&) {
        PrintMessage("Function CreateDecoderObjectProc allocate heap memory failed\n");
        return nullptr;
    }
    if (!obj->ring.Build(obj->ctx)) return nullptr;
    obj->moduleType = moduleType;
    obj->ctx.moduleType = moduleType;
    return obj.release();
}

bool ApplyConfiguration(DecoderObject& obj, int32_t code) {
    if (code <= 0) return false;
    switch (code) {
        case TESSAVO_CFG_REENCODE_ON: obj.ctx.reencodeEnabled = 1; break;
        case TESSAVO_CFG_REENCODE_OFF: obj.ctx.reencodeEnabled = 0; break;
        case TESSAVO_CFG_WHOLE_BUFFER_ON:
            obj.wholeBufferMode = 1;
            obj.ctx.rawPacketMode = 1;
            break;
        case TESSAVO_CFG_WHOLE_BUFFER_OFF:
            obj.wholeBufferMode = 0;
            obj.ctx.rawPacketMode = 0;
            break;
        case TESSAVO_CFG_WHOLE_FRAME_ON: obj.wholeFramePlusOneMode = 1; break;
        case TESSAVO_CFG_WHOLE_FRAME_OFF: obj.wholeFramePlusOneMode = 0; break;
        case TESSAVO_CFG_OUTFILE_ON: obj.outFileEnabled = 1; break;
        case TESSAVO_CFG_OUTFILE_OFF: obj.outFileEnabled = 0; break;
        case TESSAVO_CFG_DTLOG_ON:
            // The text builder is taken when the output is first switched on: most objects
            // never use it.
            if (!obj.dtLog) {
                try {
                    obj.dtLog = std::make_unique<DtLogBuilder>();
                } catch (const std::bad_alloc&) {
                    return false;
                }
            }
            // Text built before the output went off belongs to packets long gone.
            if (obj.dtLogEnabled == 0) ClearDtLogBlock(obj.ctx);
            obj.dtLogEnabled = 1;
            break;
        case TESSAVO_CFG_DTLOG_OFF: obj.dtLogEnabled = 0; break;
        default: break;
    }
    return true;
}

}  // namespace tessavo
