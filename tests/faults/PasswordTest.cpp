// The password of an UploadFile call never shows: not in its result, not in a message
// box, not in a caption or tool tip of the control, not in what the command-line host
// prints, whichever way the upload fails, even when the server repeats the password.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/headless/ScriptedInternet.h"
#include "runtime/Variant.h"
#include "tests/faults/FaultWorld.h"
#include "tests/faults/FtpPeer.h"
#include "tests/support/FtpServer.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/RunProcess.h"
#include "tests/upload/UploadTestUtil.h"

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
        {"CutAtTheEndOfAnOverLongLine", peer(EchoAt("PASS",
                                                    [](const std::string&) {
                                                        return "530 " + std::string(4090, 'x') +
                                                               kPassword + "\r\n";
                                                    }))},
        {"ReplyWithoutACodeFirst", peer(EchoAt("PASS",
                                               [](const std::string& line) {
                                                   return "I heard " + line +
                                                          "\r\n530 and said no\r\n";
                                               }))},
        {"ServerNeverAnswers",
         [](test::FaultWorld&, std::string& server, std::vector<test::Keep>& keep) {
             auto l = std::make_shared<test::SilentListener>();
             server = l->address();
             keep.push_back(l);
         }},
        {"DataConnectionDropped",
         [](test::FaultWorld& w, std::string& server, std::vector<test::Keep>& keep) {
             test::FtpServer::Options o;
             o.dropAfter = 100000;
             o.password = kPassword;
             auto s = std::make_shared<test::FtpServer>(o);
             server = s->address();
             keep.push_back(s);
             w.control->SetEditorText(test::PatternBytes(4 << 20));
             w.control->StartScan();
         }},
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

TEST(PasswordChecksTest, NoCheckRepeatsIt) {
    test::HeadlessControl hc;
    test::TempDir dir;
    std::vector<std::string> results;
    auto upload = [&](const Variant& server, const Variant& user, const Variant& password,
                      const Variant& mode = Variant::Missing(),
                      const Variant& name = Variant::Missing(),
                      const Variant& folder = Variant::Missing()) {
        results.push_back(hc->UploadFile(server, user, password, mode, name, folder));
    };
    upload(Variant("h"), Variant("u"), Variant(kPassword));  // nothing acquired yet
    hc->FilePath(dir.path());
    hc->ControlMode(1);
    hc->StartScan();
    upload(Variant::Null(), Variant("u"), Variant(kPassword));
    upload(Variant(" "), Variant("u"), Variant(kPassword));
    upload(Variant("h"), Variant::Null(), Variant(kPassword));
    upload(Variant("h"), Variant("u"), Variant(kPassword + "\r\nQUIT"));
    upload(Variant("h"), Variant("u"), Variant(std::string(kPassword + '\0' + "x")));
    upload(Variant("h"), Variant("u"), Variant(kPassword), Variant(kPassword));
    upload(Variant("h"), Variant("u"), Variant(kPassword), Variant(1), Variant::Null());
    upload(Variant("h"), Variant("u"), Variant(kPassword), Variant(1), Variant(), Variant::Null());
    upload(Variant("h\r\n"), Variant("u"), Variant(kPassword));
    std::remove((dir / "scanx.txt").c_str());
    upload(Variant("h"), Variant("u"), Variant(kPassword));
    ASSERT_EQ(results.size(), 11u);
    for (const auto& r : results) {
        EXPECT_NE(r, "");
        ExpectNothingShows(*hc, hc.host, r);
    }
}

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

TEST(PasswordChecksTest, ASuccessfulUploadShowsItNowhere) {
    test::FaultWorld w;
    w.control->ControlMode(1);
    w.control->SetEditorText(std::string(100000, 'z'));
    w.control->StartScan();
    test::FtpServer::Options o;
    o.password = kPassword;
    test::FtpServer server(o);
    std::vector<std::string> seen;
    w.host.onChildChanged = [&](const std::string& name) {
        for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
            const ChildControl& c = w.control->Children()[static_cast<Child>(i)];
            if (c.name == name) seen.push_back(c.caption + "|" + c.toolTipText);
        }
    };
    const std::string r = w.control->UploadFile(Variant(server.address()), Variant("tester"),
                                                Variant(kPassword), Variant(1));
    w.host.onChildChanged = nullptr;
    EXPECT_EQ(r, "");
    EXPECT_FALSE(seen.empty());
    for (const auto& s : seen) EXPECT_TRUE(NoPassword("a caption or tool tip on the way", s));
    ExpectNothingShows(*w.control, w.host, r);
}

// ---- The command-line host.

TEST(PasswordCliTest, NothingItPrintsCarriesIt) {
    test::TempDir dir;
    test::FtpPeer echo(Speaking(
        EchoAt("PASS", [](const std::string& line) { return "530 you said " + line + "\r\n"; })));
    test::FtpServer::Options o;
    o.password = kPassword;
    o.dropAfter = 20000;
    test::FtpServer dropping(o);
    test::FtpServer::Options good;
    good.password = kPassword;
    test::FtpServer server(good);
    const std::vector<std::string> args = {FOLIORAY_CLI,
                                           "--set",
                                           "FilePath=" + dir.path(),
                                           "--set",
                                           "ControlMode=1",
                                           "--text",
                                           std::string(100000, 'q'),
                                           "--call",
                                           "StartScan",
                                           "--progress",
                                           "--call",
                                           "UploadFile",
                                           echo.address(),
                                           "tester",
                                           kPassword,
                                           "0",
                                           "--call",
                                           "UploadFile",
                                           dropping.address(),
                                           "tester",
                                           kPassword,
                                           "1",
                                           "--call",
                                           "UploadFile",
                                           server.address(),
                                           "tester",
                                           kPassword,
                                           "1",
                                           "--call",
                                           "UploadFile",
                                           "127.0.0.1:" + std::to_string(test::ClosedPort()),
                                           "tester",
                                           kPassword,
                                           "--call",
                                           "UploadFile",
                                           "",
                                           "tester",
                                           kPassword,
                                           "--get",
                                           "CurrentName"};
    const auto r = test::RunProcess(args, {}, 120);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("UploadFile: 530 you said PASS ********"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nUploadFile: \n"), std::string::npos) << r.out;  // the good one
    EXPECT_NE(r.out.find("Progress: "), std::string::npos);
    EXPECT_TRUE(NoPassword("standard output", r.out));
    EXPECT_TRUE(NoPassword("standard error", r.err));
}

}  // namespace
}  // namespace folioray
