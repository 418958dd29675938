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
    return 0;
}
