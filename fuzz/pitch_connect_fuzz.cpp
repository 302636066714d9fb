// Fuzz target: datagrams to pitch's well-known port from addresses that are not players
// yet (init, reconnect, anything else), several per input separated by '|'. Each one comes
// from the first sink that no player uses, as pitch's loop would hand it to handlenew;
// replies and new reply sockets all lead back to the harness's loopback sinks. Every
// input starts a fresh match, so a finding replays from its input alone.
//
// bin/pitch_connect_fuzz [corpus folder] [-dict=fuzz/pitch.dict] [-max_total_time=N]

#include <vector>

#include "fuzz/pitch_harness.h"
#include "pitch/connect.h"

using namespace pitchfuzz;

// newsender: the first sink that is not a player's address, -1 when every one is.
static int newsender() {
    for (int i = 0; i < SinkCount; i++)
        if (findsender(Loopback, SinkPort[i]) < 0)
            return i;
    return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = start();
    if (!ready)
        return 0;
    freshmatch();
    size_t at = 0, len = 0;
    const char *text = nullptr;
    while (nextdatagram(data, size, at, text, len)) {
        int from = newsender();
        if (len == 0 || from < 0) // recvmain never hands over an empty datagram
            continue;
        std::vector<char> copy(text, text + len); // exactly len bytes, no NUL after them
        handlenew(Loopback, SinkPort[from], copy.data(), len);
    }
    drainsinks();
    return 0;
}
