#include "tests/support/served.h"

namespace vorntest {

bool ServedAgent::start(const std::string &program) {
    if (!server.ok())
        return false;
    child = std::make_unique<Child>(
        binpath(program), std::vector<std::string>{"127.0.0.1", std::to_string(server.port())},
        folder.path());
    Datagram d;
    if (!child->started() || !server.receive(d, 10))
        return false;
    agentport = d.port;
    return true;
}

void ServedAgent::send(const std::string &text) {
    server.send(agentport, text + '\0');
}

void ServedAgent::listen(double seconds) {
    for (Datagram &d : server.collect(seconds))
        received.push_back(d);
}

bool ServedAgent::settle(int time, const std::string &tag) {
    std::string hear = "hear " + std::to_string(time) + " 0 " + tag;
    send("(" + hear + ")");
    for (double end = now() + 10; now() < end; listen(0.02))
        if (child->output().find("in hear out[0]=" + hear + ",") != std::string::npos)
            return true;
    return false;
}

std::string ServedAgent::pl(const std::string &first, int lines) {
    size_t from = child->output().size();
    child->write("pl\n");
    for (double end = now() + 10; now() < end; listen(0.02)) {
        std::string out = child->output();
        size_t at = out.find(first, from);
        if (at == std::string::npos)
            continue;
        std::string block = out.substr(at);
        int n = 0;
        size_t cut = 0;
        while (n < lines && (cut = block.find('\n', cut)) != std::string::npos) {
            cut++;
            n++;
        }
        if (n == lines)
            return block.substr(0, cut);
    }
    return "";
}

} // namespace vorntest
