#include "http/HttpRules.h"

#include <gtest/gtest.h>

namespace {

using namespace HttpRules;

TEST(HttpRulesTest, LoopbackAndWildcardAddresses)
{
    for (const char* address : {"127.0.0.1", "127.1.2.3", "::1", "[::1]", "localhost", "LocalHost"}) {
        EXPECT_TRUE(IsLoopback(address)) << address;
    }
    for (const char* address : {"0.0.0.0", "::", "192.168.1.5", "10.0.0.1", "pms-pc", "localhost.evil.example", ""}) {
        EXPECT_FALSE(IsLoopback(address)) << address;
    }
    EXPECT_TRUE(IsWildcard("0.0.0.0"));
    EXPECT_TRUE(IsWildcard("::"));
    EXPECT_FALSE(IsWildcard("127.0.0.1"));
}

// DNS rebinding: a page on attacker.example, whose name its owner points at
// 127.0.0.1, reaches the API with its own name in Host.
TEST(HttpRulesTest, HostMustNameThisServer)
{
    struct TCase {
        const char* Host;
        const char* BindAddress;
        bool Allowed;
    };
    const TCase cases[] = {
        {"127.0.0.1:8884", "127.0.0.1", true},
        {"127.0.0.1", "127.0.0.1", true},
        {"localhost:8884", "127.0.0.1", true},
        {"LOCALHOST", "127.0.0.1", true},
        {"[::1]:8884", "127.0.0.1", true},
        {"attacker.example:8884", "127.0.0.1", false},
        {"attacker.example", "127.0.0.1", false},
        {"localhost.attacker.example", "127.0.0.1", false},
        {"127.0.0.1.attacker.example", "127.0.0.1", false},
        {"", "127.0.0.1", false},
        {"127.0.0.1:88x4", "127.0.0.1", false},
        {"127.0.0.1:", "127.0.0.1", false},
        {"::1", "127.0.0.1", false},
        {"[::1", "127.0.0.1", false},
        {"[::1]x", "127.0.0.1", false},
        // The configured address itself.
        {"192.168.1.5:8884", "192.168.1.5", true},
        {"192.168.1.6:8884", "192.168.1.5", false},
        {"pms-pc:8884", "pms-pc", true},
        {"[fe80::1]:8884", "fe80::1", true},
        // A wildcard bind: any address literal, never a name.
        {"192.168.1.5:8884", "0.0.0.0", true},
        {"[fe80::1]:8884", "::", true},
        {"attacker.example:8884", "0.0.0.0", false},
        {"192.168.1.5:8884", "127.0.0.1", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(HostAllowed(c.Host, c.BindAddress), c.Allowed) << c.Host << " bound to " << c.BindAddress;
    }
}

TEST(HttpRulesTest, OriginListKeepsExactEntriesButNeverNull)
{
    EXPECT_EQ(OriginList(" https://pms.example.com , http://127.0.0.1:9000,,null, "),
        (std::vector<std::string> {"https://pms.example.com", "http://127.0.0.1:9000"}));
    EXPECT_TRUE(OriginList("").empty());
}

TEST(HttpRulesTest, BearerTokenMustMatchExactly)
{
    EXPECT_TRUE(BearerTokenMatches("Bearer s3cr3t-Token", "s3cr3t-Token"));
    EXPECT_TRUE(BearerTokenMatches("bearer   s3cr3t-Token ", "s3cr3t-Token"));
    for (const char* header : {"", "s3cr3t-Token", "Basic s3cr3t-Token", "Bearer", "Bearer s3cr3t-token",
             "Bearer s3cr3t-Token2", "Bearer s3cr3t", "Bearers3cr3t-Token"}) {
        EXPECT_FALSE(BearerTokenMatches(header, "s3cr3t-Token")) << header;
    }
    EXPECT_TRUE(IsValidToken("aZ09-._~+/="));
    EXPECT_FALSE(IsValidToken("with space"));
    EXPECT_FALSE(IsValidToken("\xD6\xD0"));
    EXPECT_FALSE(IsValidToken(""));
}

TEST(HttpRulesTest, OnlyJsonBodies)
{
    for (const char* type : {"application/json", "Application/JSON", "application/json; charset=utf-8",
             "application/json;charset=\"UTF-8\"", "application/json; foo=bar"}) {
        EXPECT_TRUE(IsJsonContentType(type)) << type;
    }
    // What a page may send to any origin without asking first, and the rest.
    for (const char* type : {"", "text/plain", "text/plain; charset=utf-8", "application/x-www-form-urlencoded",
             "multipart/form-data; boundary=x", "application/json; charset=gbk", "application/jsonx",
             "application/json-patch+json"}) {
        EXPECT_FALSE(IsJsonContentType(type)) << type;
    }
}

} // namespace
