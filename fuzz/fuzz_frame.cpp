// The socket frame parser, fed arbitrary bytes as one frame's text.
#include "api/SocketFrame.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SocketFrame frame = SocketFrame::parse(bytes);
    // An event comes exactly with the event action.
    if ((frame.action == SocketFrame::Action::event) != frame.event.has_value())
        std::abort();
    // The reader that works on the bytes comes to what the document reader does, or leaves
    // the frame to it.
    if (const auto direct = SocketFrame::parseDirect(bytes)) {
        const SocketFrame reference = SocketFrame::parseDocument(bytes);
        if (direct->action != reference.action || direct->event != reference.event)
            std::abort();
    }
    return 0;
}
