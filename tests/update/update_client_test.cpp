#include "update/update_client.hpp"
#include "support/fake_http_transport.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::FakeHttpTransport;
using testing::FakeTickClock;
using testing::HttpStep;

class UpdateClientTest : public ::testing::Test {
protected:
    FakeHttpTransport transport;
    FakeTickClock ticks;
    UpdateAccess host{transport, ticks, HttpHost{L"updates.example.test", 9443}};

    std::string failure(std::size_t maxBytes = 100'000) {
        return testing::messageOf([&] { fetchUpdateFile(host, kUpdateManifestPath, maxBytes); });
    }
};

TEST_F(UpdateClientTest, GetsTheBodyWithoutCachesOrRedirects) {
    transport.body = std::string("MZ\0\x01\xff", 5) + std::string(40'000, 'x');
    transport.deliveryLimit = 5000;

    EXPECT_EQ(fetchUpdateFile(host, L"/downloads/native/abc.exe", transport.body.size()), transport.body);
    EXPECT_EQ(transport.userAgent, L"TXQ-Native-Updater/1");
    EXPECT_EQ(transport.timeoutMs, 4000u);
    ASSERT_TRUE(transport.host.has_value());
    EXPECT_EQ(transport.host->name, L"updates.example.test");
    EXPECT_EQ(transport.host->port, 9443);
    EXPECT_EQ(transport.verb, L"GET");
    EXPECT_EQ(transport.path, L"/downloads/native/abc.exe");
    EXPECT_EQ(transport.refresh, true);
    EXPECT_TRUE(transport.redirectsDisabled);
    EXPECT_EQ(transport.headers, L"Cache-Control: no-cache\r\n");
    EXPECT_EQ(transport.sentBody, "");
    for (std::size_t capacity : transport.readCapacities) EXPECT_EQ(capacity, 16'384u);
    const std::vector<std::string> expected = {"open session",  "open connection",  "open request",
                                               "close request", "close connection", "close session"};
    EXPECT_EQ(transport.events, expected);
}

TEST_F(UpdateClientTest, EachFailingStepHasItsMessageAndClosesEverything) {
    struct Case {
        HttpStep step;
        const char* message;
    };
    const Case cases[] = {
        {HttpStep::openSession, "无法连接大厅，请检查网络"},
        {HttpStep::connect, "无法连接大厅，请检查网络"},
        {HttpStep::openRequest, "无法连接大厅，请检查网络"},
        {HttpStep::disableRedirects, "更新 HTTPS 策略失败"},
        {HttpStep::send, "更新服务暂不可用"},
        {HttpStep::receiveResponse, "更新服务暂不可用"},
        {HttpStep::statusCode, "更新服务返回异常"},
        {HttpStep::read, "更新下载中断"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        transport = FakeHttpTransport{};
        transport.failAt = c.step;
        transport.body = "{}";
        EXPECT_EQ(failure(), c.message);
        EXPECT_EQ(transport.handlesOpen, 0);
        EXPECT_EQ(transport.events.size() % 2, 0u);
    }
}

TEST_F(UpdateClientTest, OnlyTwoHundredCountsAndAnErrorBodyIsNeverRead) {
    for (std::uint32_t status : {201u, 204u, 206u, 301u, 302u, 304u, 404u, 500u, 0u}) {
        SCOPED_TRACE(status);
        transport = FakeHttpTransport{};
        transport.status = status;
        transport.body = "{}";
        EXPECT_EQ(failure(), "更新服务返回异常");
        EXPECT_TRUE(transport.readCapacities.empty());
        EXPECT_EQ(transport.handlesOpen, 0);
    }
}

TEST_F(UpdateClientTest, TheCallersLimitHoldsAtTheByte) {
    for (std::size_t delivery : {std::size_t{16'384}, std::size_t{3}}) {
        SCOPED_TRACE(delivery);
        transport = FakeHttpTransport{};
        transport.deliveryLimit = delivery;
        transport.body = std::string(kMaxManifestBytes, 'm');
        EXPECT_EQ(failure(kMaxManifestBytes), "(no failure)");
        transport.body.push_back('m');
        EXPECT_EQ(failure(kMaxManifestBytes), "更新响应过大");
        EXPECT_EQ(transport.handlesOpen, 0);
    }
    transport = FakeHttpTransport{};
    EXPECT_EQ(failure(0), "(no failure)");  // an empty body within a limit of nothing
    transport.body = "x";
    EXPECT_EQ(failure(0), "更新响应过大");
}

TEST_F(UpdateClientTest, TheDownloadMustEndWithinTwentyFiveSecondsOfSending) {
    // Each read takes one second; the deadline is checked before every read.
    struct Case {
        std::size_t bodyBytes;
        const char* outcome;
        std::size_t reads;
    };
    const Case cases[] = {
        {24, "(no failure)", 25},  // the closing empty read starts at 24 s
        {25, "更新下载超时", 25},  // the 26th read would start at 25 s
        {100, "更新下载超时", 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bodyBytes);
        transport = FakeHttpTransport{};
        transport.body = std::string(c.bodyBytes, 'b');
        transport.deliveryLimit = 1;
        transport.onStep = [&](HttpStep step) {
            if (step == HttpStep::read) ticks.now += 1000;
        };
        EXPECT_EQ(failure(), c.outcome);
        EXPECT_EQ(transport.readCapacities.size(), c.reads);
        EXPECT_EQ(transport.handlesOpen, 0);
    }

    // The clock starts before the request is sent: a slow answer uses up the time.
    for (std::uint64_t wait : {24'999u, 25'000u}) {
        SCOPED_TRACE(wait);
        transport = FakeHttpTransport{};
        transport.body = "{}";
        transport.onStep = [&](HttpStep step) {
            if (step == HttpStep::receiveResponse) ticks.now += wait;
        };
        EXPECT_EQ(failure(), wait < 25'000 ? "(no failure)" : "更新下载超时");
        EXPECT_EQ(transport.handlesOpen, 0);
    }
}

TEST(ReleaseDownloadPathTest, IsTheImagePathNamedByItsDigest) {
    const Release release{2026092001, 65'536, std::string(32, 'a') + std::string(32, '0')};
    EXPECT_EQ(releaseDownloadPath(release),
              L"/downloads/native/" + std::wstring(32, L'a') + std::wstring(32, L'0') + L".exe");
}

}  // namespace
}  // namespace quorvel
