// Real shapes: every datagram that a real server sent to seven clients goes through the
// receive path (a loopback socket, the lower-casing, the parser) of an agent initialised by
// that client's own init reply, and what the records hold afterwards is checked against the
// text of the datagram, read here independently of the parser.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <vector>

using namespace vorn;

namespace {

std::string transcriptpath(const std::string &name) {
    return std::string(VORN_TRANSCRIPTS_DIR) + "/" + name;
}

// The "msg" string of one JSON line, as bytes: every escape is a character of ISO 8859-1.
std::string jsonmessage(const std::string &line) {
    size_t at = line.find("\"msg\": \"");
    if (at == std::string::npos)
        return "";
    std::string text;
    for (size_t i = at + 8; i < line.size() && line[i] != '"'; i++) {
        if (line[i] != '\\') {
            text += line[i];
            continue;
        }
        char e = line[++i];
        switch (e) {
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case 'u':
            text += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
            i += 4;
            break;
        default:
            text += e; // \" \\ \/
        }
    }
    return text;
}

std::vector<std::string> datagrams(const std::string &name) {
    std::ifstream in(transcriptpath(name));
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);)
        all.push_back(jsonmessage(line));
    return all;
}

std::string lowered(std::string text) {
    for (char &c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> words(const std::string &text) {
    std::istringstream in(text);
    std::vector<std::string> all;
    for (std::string w; in >> w;)
        all.push_back(w);
    return all;
}

// What one datagram says, read from its text by splitting it into entries ((name) values).
struct Expected {
    std::string head;
    int time = 0;
    bool hasball = false;
    std::vector<std::string> ball; // the ball's numbers
    struct Numbered {
        std::string team;
        int number;
        std::vector<std::string> values;
        bool displaceable; // slot 0 may be taken later in the message by a player without number
    };
    std::vector<Numbered> players;
};

bool isnumber(const std::string &word) {
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

Expected expect(const std::string &text) {
    Expected e;
    std::vector<std::string> head = words(text.substr(1, text.find_first_of("()", 1) - 1));
    e.head = head.empty() ? "" : head[0];
    if (head.size() > 1)
        e.time = std::atoi(head[1].c_str());
    for (size_t at = text.find("(("); at != std::string::npos; at = text.find("((", at + 2)) {
        size_t close = text.find(')', at);
        std::vector<std::string> name = words(text.substr(at + 2, close - at - 2));
        std::vector<std::string> values =
            words(text.substr(close + 1, text.find(')', close + 1) - close - 1));
        if (name.size() == 1 && name[0] == "b") {
            e.hasball = true;
            e.ball = values;
        } else if (!name.empty() && name[0] == "p") {
            if (name.size() >= 3 && isnumber(name[2]))
                e.players.push_back(
                    {name[1].substr(1, name[1].size() - 2), std::stoi(name[2]), values, false});
            else
                for (Expected::Numbered &earlier : e.players)
                    earlier.displaceable = true;
        }
    }
    return e;
}

int expectedresult(const std::string &head) {
    return head == "see" ? 1 : head == "sense_body" ? 2 : 3;
}

class Transcript : public ::testing::TestWithParam<const char *> {
  protected:
    vorntest::Peer server;
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        vorntest::startagent(server);
        initpoll(-1);
    }
    // Sends one datagram to the agent and lets the receive path take it.
    int deliver(const std::string &bytes) {
        server.send(vorntest::agentport(), bytes);
        pollfd ready = {SockSer.socketfd, POLLIN, 0};
        if (poll(&ready, 1, 2000) != 1)
            return -1;
        return getfromserver();
    }
};

} // namespace

TEST_P(Transcript, EveryDatagramParsesAndTheRecordsFollowIt) {
    std::vector<std::string> all = datagrams(GetParam());
    ASSERT_GT(all.size(), 100u) << transcriptpath(GetParam());
    int hears = 0, balls = 0, numbered = 0;
    std::string printed; // hear lines, still-working lines, the placement's trace
    for (size_t i = 0; i < all.size(); i++) {
        std::string text = lowered(all[i]);
        Expected e = expect(text);
        vorntest::Capture console;
        int result = deliver(all[i]);
        printed += console.take();
        ASSERT_EQ(result, expectedresult(e.head)) << i << ": " << text;
        if (e.head == "init") {
            std::vector<std::string> w = words(text.substr(1, text.size() - 2));
            ASSERT_EQ(AgentSide, w[1] == "l" ? 0 : 1);
            ASSERT_EQ(AgentNumber, std::atoi(w[2].c_str()));
            ASSERT_EQ(Turn, 0);
            server.collect(0.05); // the placement commands
            continue;
        }
        hears += e.head == "hear";
        ASSERT_EQ(Turn, e.time) << i << ": " << text;
        if (e.hasball) {
            balls++;
            ASSERT_EQ(Ball->time, Turn) << i;
            ASSERT_FLOAT_EQ(Ball->distance, std::strtof(e.ball[0].c_str(), nullptr)) << i;
            ASSERT_EQ(Ball->direction, std::atoi(e.ball[1].c_str())) << i;
            if (e.ball.size() == 4) {
                ASSERT_FLOAT_EQ(Ball->distchange, std::strtof(e.ball[2].c_str(), nullptr)) << i;
                ASSERT_EQ(Ball->dirchange, std::atoi(e.ball[3].c_str())) << i;
            }
        }
        for (const Expected::Numbered &p : e.players) {
            if (p.number == 1 && p.displaceable)
                continue;
            numbered++;
            ExtObs *record = (p.team == "vorn" ? TeamPlayer : OppPlayer)[p.number - 1];
            ASSERT_EQ(record->time, Turn) << i << ": " << text;
            ASSERT_FLOAT_EQ(record->distance, std::strtof(p.values[0].c_str(), nullptr)) << i;
            ASSERT_EQ(record->direction, std::atoi(p.values[1].c_str())) << i;
        }
    }
    EXPECT_GT(balls, 0); // the checks above were reached
    EXPECT_GT(numbered, 0);
    size_t heard = 0;
    for (size_t at = 0; (at = printed.find("in hear out[0]=hear ", at)) != std::string::npos; at++)
        heard++;
    EXPECT_EQ(heard, static_cast<size_t>(hears));
    EXPECT_NE(printed.find(" still working turn 0 \n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(RealServer, Transcript,
                         ::testing::Values("vorn_1.jsonl", "vorn_2.jsonl", "vorn_3.jsonl",
                                           "vorn_4.jsonl", "opp_1.jsonl", "opp_2.jsonl",
                                           "opp_3.jsonl"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });
