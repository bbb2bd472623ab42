// Arbitrary bytes through the game's DirectPlay handler, as messages from the other computer:
// the input is a run of messages, each a 16-bit little-endian length and that many bytes (a
// last one without a whole length takes what is left). Each is handed over as DirectPlay would,
// and the main thread's side applies whatever got through.
#include "net_a_support.h"
#include "platform/win32/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    net_a::ResetNetGlobals();
    NetworkGameActive = true;
    size_t pos = 0;
    while (pos < size) {
        size_t length = size - pos;
        size_t start = pos;
        if (size - pos >= 2) {
            length = LoadLe16(data + pos);
            start = pos + 2;
            if (length > size - start) length = size - start;
        }
        net_a::Receive(std::vector<uint8_t>(data + start, data + start + length));
        pos = start + length;
    }
    ProcessNetworkMessages();
    // The application object stays for the next input: making it is what would take the time.
    DiscardNetworkMessages();
    return 0;
}
