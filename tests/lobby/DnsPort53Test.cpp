// The DNS server of the endpoint table without a port: the lookup goes to
// port 53, which only root may bind for the test's responder.
#include "LobbyTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tarn;
using namespace tarn::testing;

namespace {

TEST(DnsPort53, LoginAsksTheEndpointTablesServerOnPort53) {
    if (geteuid() != 0)
        GTEST_SKIP() << "binding UDP port 53 needs root";
    DnsResponder dns(QStringLiteral("127.3.0.110"), 53, QStringLiteral("127.3.0.111"));
    if (!dns.ok)
        GTEST_SKIP() << "port 53 on 127.3.0.110 is not available";
    Lobby lobby(QStringLiteral("127.3.0.110"), false);
    UseTestEndpoints(QStringLiteral("127.3.0.110"));
    ASSERT_EQ(Endpoints().DnsPort, 53);
    lobby.session.LobbyIPOverride.clear();
    ASSERT_TRUE(lobby.session.LoggedIn());
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_EQ(lobby.session.Addresses().LobbyServerIP, QStringLiteral("127.3.0.111"));
    EXPECT_FALSE(lobby.session.UsingIPOverride);
}

} // namespace
