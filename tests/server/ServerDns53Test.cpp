// The DNS responder on the standard port 53, as the client asks it. Binding
// port 53 needs root.
#include "ServerHarness.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <unistd.h>

using namespace tarn::test;

TEST(ServerDns53, AnswersTheLobbyHostOnPort53) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "binding UDP port 53 needs root";
    QTemporaryDir dir;
    ServerProcess s("127.0.32.1", dir.path().toStdString() + "/s");
    s.dnsPort = 53;
    ASSERT_TRUE(s.Start()) << s.Output();
    UdpPeer q;
    const std::string query = std::string("\xab\xcd\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12) +
                              std::string("\x05lobby\x04tarn\x04test\x00\x00\x01\x00\x01", 21);
    q.Send(s.address, 53, query);
    auto a = q.Recv();
    ASSERT_TRUE(a);
    ASSERT_EQ(a->data.size(), query.size() + 16);
    EXPECT_EQ(a->data.substr(a->data.size() - 4), std::string("\x7f\x00\x20\x01", 4));
    EXPECT_EQ(s.Stop(), 0);
}
