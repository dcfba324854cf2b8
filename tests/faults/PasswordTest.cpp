// The password of an UploadFile call never shows: not in its result, not in a message
// box, not in a caption or tool tip of the control, even when the server repeats it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "runtime/Variant.h"
#include "tests/faults/FaultWorld.h"
#include "tests/faults/FtpPeer.h"
#include "tests/support/FtpServer.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/ScriptedInternet.h"

namespace folioray {
namespace {

const std::string kPassword = "Zq7pW-oR4-Kx9";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

::testing::AssertionResult NoPassword(const std::string& where, const std::string& text) {
    if (Lower(text).find(Lower(kPassword)) == std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the password shows in " << where << ": " << text;
}

// Everything of the control a host or a user can read.
void ExpectNothingShows(const ScanControl& control, const HeadlessHost& host,
                        const std::string& result) {
    EXPECT_TRUE(NoPassword("the result", result));
    for (const auto& m : host.messages)
        EXPECT_TRUE(NoPassword("a message box", m.title + m.prompt));
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        const ChildControl& c = control.Children()[static_cast<Child>(i)];
        EXPECT_TRUE(NoPassword(c.name + "'s caption", c.caption));
        EXPECT_TRUE(NoPassword(c.name + "'s tool tip", c.toolTipText));
    }
    EXPECT_TRUE(NoPassword("the typed text", host.field.text));
}

// ---- Servers that repeat what they are told.

using Answer = std::function<std::string(const std::string& line)>;

// Answers each command by its verb; the banner first.
test::FtpPeer::Script Speaking(Answer answer) {
    return [answer](test::FtpPeer::Conn& c) {
        if (!c.Send("220 ready\r\n")) return;
        while (auto line = c.ReadLine()) {
            if (!c.Send(answer(*line))) return;
        }
    };
}

std::string Verb(const std::string& line) {
    return line.substr(0, line.find(' '));
}

// Logs in, agrees to everything, and repeats the password when `at` comes.
Answer EchoAt(const std::string& at, std::function<std::string(const std::string&)> echo) {
    return [at, echo](const std::string& line) -> std::string {
        const std::string verb = Verb(line);
        if (verb == at) return echo(line);
        if (verb == "USER") return "331 send the password\r\n";
        if (verb == "PASS") return "230 in\r\n";
        if (verb == "PWD") return "257 \"/\"\r\n";
        if (verb == "CWD") return "250 ok\r\n";
        if (verb == "EPRT" || verb == "PORT" || verb == "TYPE") return "200 ok\r\n";
        if (verb == "QUIT") return "221 bye\r\n";
        return "502 not here\r\n";
    };
}

struct EchoCase {
    const char* name;
    std::function<void(test::FaultWorld&, std::string& server, std::vector<test::Keep>&)> serve;
    Variant dir = Variant::Missing();
};

std::vector<EchoCase> EchoCases() {
    auto peer = [](Answer a) {
        return [a](test::FaultWorld&, std::string& server, std::vector<test::Keep>& keep) {
            auto p = std::make_shared<test::FtpPeer>(Speaking(a));
            server = p->address();
            keep.push_back(p);
        };
    };
    return {
        {"RealServerRepeatsItInTheLoginFailure",
         [](test::FaultWorld&, std::string& server, std::vector<test::Keep>& keep) {
             test::FtpServer::Options o;
             o.echoPassword = true;  // and its password is another one
             auto s = std::make_shared<test::FtpServer>(o);
             server = s->address();
             keep.push_back(s);
         }},
        {"MultiLineReplyInOtherCases", peer(EchoAt("PASS",
                                                   [](const std::string& line) {
                                                       std::string upper = line;
                                                       for (char& c : upper)
                                                           c = static_cast<char>(std::toupper(c));
                                                       return "530-you sent " + line + "\r\n530-" +
                                                              upper + "\r\n530 " + Lower(line) +
                                                              " refused\r\n";
                                                   }))},
        {"ReplyToTheDirectory",
         peer(EchoAt("CWD",
                     [](const std::string&) {
                         return "550 no folder for a user whose password is " + kPassword + "\r\n";
                     })),
         Variant("pics")},
        {"ReplyToTheStore",
         peer(EchoAt("STOR",
                     [](const std::string&) { return "553 not with " + kPassword + "\r\n"; }))},
    };
}

void PrintTo(const EchoCase& c, std::ostream* os) {
    *os << c.name;
}

class PasswordTest : public ::testing::TestWithParam<EchoCase> {};

TEST_P(PasswordTest, NeverShows) {
    const EchoCase& c = GetParam();
    test::FaultWorld w;
    w.control->ControlMode(1);
    w.control->SetEditorText("the working file");
    w.control->StartScan();
    ASSERT_EQ(w.events.size(), 1u);
    std::string server;
    std::vector<test::Keep> keep;
    c.serve(w, server, keep);
    const std::string result =
        w.control->UploadFile(Variant(server), Variant("tester"), Variant(kPassword),
                              Variant(int32_t{0}), Variant::Missing(), c.dir);
    EXPECT_NE(result, "");
    ExpectNothingShows(*w.control, w.host, result);
}

INSTANTIATE_TEST_SUITE_P(Servers, PasswordTest, ::testing::ValuesIn(EchoCases()),
                         [](const auto& tp) { return std::string(tp.param.name); });

// Without the internet layer's own masking: the client masks what it hands on.
TEST(PasswordChecksTest, TheClientMasksAServerReplyOfAnyInternetLayer) {
    ScriptedInternet net;
    net.connectError = inet::kErrorExtendedError;
    net.response = "530 Login for " + Lower(kPassword) + " refused\r\n";
    test::HeadlessControl hc(false);
    hc.ports.internet = &net;
    hc.Create();
    test::TempDir dir;
    hc->FilePath(dir.path());
    hc->ControlMode(1);
    hc->StartScan();
    const std::string r = hc->UploadFile(Variant("h"), Variant("u"), Variant(kPassword));
    EXPECT_EQ(r, "530 Login for ******** refused\r\n");
    ExpectNothingShows(*hc, hc.host, r);
}

}  // namespace
}  // namespace folioray
