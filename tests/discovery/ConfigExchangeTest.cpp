#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NetworkFixture.h"
#include "config/ConfigExchange.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Call = net::FakeNetwork::Call;

const Bytes kAcknowledgement = {0x41, 0x0D, 0x00, 0x00, 0x00};
const Bytes kRefusal = {0x41, 0x0D, 0x01, 0x00, 0x00};

class ConfigExchangeTest : public NetworkTest {
protected:
    Bytes OnlySent() {
        const auto sent = network_.sent();
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? Bytes{} : sent[0].bytes;
    }
};

TEST_F(ConfigExchangeTest, DhcpRequestBytes) {
    network_.AddInterface("eth0", "10.0.0.200");
    EXPECT_EQ(SendIpSettings(1, "000A1B2C3D4E", "NULL", "NULL", "NULL", "NULL"), 0);
    EXPECT_EQ(OnlySent(), (Bytes{0x60, 0x0D, 0x10, 0x00, 0x61, 0x61, 0x61, 0x62, 0x3A, 0x0A,
                                 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x07, 0x00, 0x04, 0x01}));
    ExpectCleanShutdown();
}

TEST_F(ConfigExchangeTest, FixedRequestBytes) {
    network_.AddInterface("eth0", "10.0.0.200");
    SendIpSettings(0, "000a1b2c3d4e", "192.168.1.2", "255.255.255.0", "192.168.1.1", "8.8.4.4");
    EXPECT_EQ(OnlySent(),
              (Bytes{0x60, 0x0D, 0x2C, 0x00, 0x61, 0x61, 0x61, 0x62, 0x3A, 0x0A, 0x00, 0x0A,
                     0x1B, 0x2C, 0x3D, 0x4E, 0x07, 0x00, 0x04, 0x00, 0x03, 0x00, 0x07, 0xC0,
                     0xA8, 0x01, 0x02, 0x04, 0x00, 0x07, 0xFF, 0xFF, 0xFF, 0x00, 0x05, 0x00,
                     0x07, 0xC0, 0xA8, 0x01, 0x01, 0x06, 0x00, 0x07, 0x08, 0x08, 0x04, 0x04}));
}

TEST_F(ConfigExchangeTest, ResetRequestBytes) {
    network_.AddInterface("eth0", "10.0.0.200");
    SendReset("000A1B2C3D4E");
    EXPECT_EQ(OnlySent(), (Bytes{0x60, 0x0D, 0x0C, 0x00, 0x61, 0x61, 0x61, 0x63, 0x3A, 0x0A, 0x00,
                                 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
}

TEST_F(ConfigExchangeTest, LeadingZerosAreDecimalNotOctal) {
    network_.AddInterface("eth0", "10.0.0.200");
    SendIpSettings(0, "000A1B2C3D4E", "010.000.08.09", "255.255.255.000", "0.0.0.0", "1.2.3.4");
    const Bytes sent = OnlySent();
    ASSERT_EQ(sent.size(), 48u);
    EXPECT_EQ(Bytes(sent.begin() + 23, sent.begin() + 27), (Bytes{10, 0, 8, 9}));
    EXPECT_EQ(Bytes(sent.begin() + 30, sent.begin() + 34), (Bytes{255, 255, 255, 0}));
}

TEST_F(ConfigExchangeTest, AddressTextsThatAreRefusedSendNothing) {
    network_.AddInterface("eth0", "10.0.0.200");
    const char* const refused[] = {
        "255.255.255.255", "",        "1.2.3",    "1.2.3.4.5", "256.1.1.1",  "1.2.3.4 ", " 1.2.3.4",
        "1..3.4",          "a.b.c.d", "1.2.3.-4", "0x1.2.3.4", "1.2.3.0004", "1.2.3.",   ".1.2.3"};
    for (const char* text : refused) {
        for (int position = 0; position < 4; ++position) {
            const char* texts[4] = {"10.0.0.2", "255.255.255.0", "10.0.0.1", "10.0.0.1"};
            texts[position] = text;
            EXPECT_EQ(SendIpSettings(0, "000A1B2C3D4E", texts[0], texts[1], texts[2], texts[3]), 0)
                << '"' << text << "\" at " << position;
        }
    }
    EXPECT_EQ(SendIpSettings(0, "000A1B2C3D4E", nullptr, "1.1.1.1", "1.1.1.1", "1.1.1.1"), 0);
    EXPECT_TRUE(network_.sent().empty());
    EXPECT_EQ(network_.socketsOpened(), 0);
}

TEST(SubnetMask, OnlyOnesFromTheLeftCanBe) {
    const struct {
        const char* mask;
        bool possible;
    } cases[] = {
        {"255.255.255.0", true},    {"255.255.0.0", true},     {"255.255.255.252", true},
        {"128.0.0.0", true},        {"255.255.255.254", true}, {"1.2.3.4", false},
        {"0.0.0.0", false},         {"255.0.255.0", false},    {"0.255.255.255", false},
        {"255.255.255.253", false}, {"254.255.255.0", false},  {"127.0.0.0", false},
    };
    for (const auto& c : cases) {
        std::uint32_t mask = 0;
        ASSERT_TRUE(ParseDecimalDottedQuad(c.mask, &mask)) << c.mask;
        EXPECT_EQ(IsContiguousSubnetMask(mask), c.possible) << c.mask;
    }
}

TEST_F(ConfigExchangeTest, DhcpModeNeverLooksAtTheAddressTexts) {
    network_.AddInterface("eth0", "10.0.0.200");
    SendIpSettings(1, "000A1B2C3D4E", nullptr, "garbage", nullptr, "255.255.255.255");
    EXPECT_EQ(network_.sent().size(), 1u);
}

TEST_F(ConfigExchangeTest, NoLocalAddressFailsWithNothingSent) {
    EXPECT_EQ(SendReset("000A1B2C3D4E"), 0);
    EXPECT_EQ(SendIpSettings(1, "000A1B2C3D4E", "NULL", "NULL", "NULL", "NULL"), 0);
    EXPECT_TRUE(network_.sent().empty());
}

TEST_F(ConfigExchangeTest, AcknowledgementOnTheFirstAddressSkipsTheRest) {
    const int first = network_.AddInterface("eth0", "10.0.0.200");
    network_.AddInterface("eth1", "192.168.1.200");
    network_.AddResponder(first, Answer(kAcknowledgement, "10.0.0.5", 100));
    EXPECT_EQ(SendReset("000A1B2C3D4E"), 1);
    EXPECT_EQ(network_.sent().size(), 1u);
    EXPECT_EQ(network_.NowMs(), 100);
    ExpectCleanShutdown();
}

TEST_F(ConfigExchangeTest, NoAnswerOnTwoAddressesFailsAfterEightSeconds) {
    network_.AddInterface("eth0", "10.0.0.200");
    network_.AddInterface("eth1", "192.168.1.200");
    EXPECT_EQ(SendReset("000A1B2C3D4E"), 0);
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 2u) << "one send per address, no repeats";
    EXPECT_EQ(sent[1].timeMs, 4000);
    EXPECT_EQ(network_.NowMs(), 8000);
    ExpectCleanShutdown();
}

TEST_F(ConfigExchangeTest, NonzeroStatusIsNoAcknowledgementButKeepsTheWaitGoing) {
    const int first = network_.AddInterface("eth0", "10.0.0.200");
    const int second = network_.AddInterface("eth1", "192.168.1.200");
    network_.AddResponder(first, Answer(kRefusal, "10.0.0.5", 3000));
    network_.AddResponder(first, Answer({0x00, 0x00}, "10.0.0.6", 3500));  // too short to count
    network_.AddResponder(second, Answer(kAcknowledgement, "192.168.1.5", 10));
    EXPECT_EQ(SendReset("000A1B2C3D4E"), 1);
    // The refusal at 3 s and the runt at 3.5 s restart the wait; silence ends it at 7.5 s.
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].timeMs, 7500);
}

TEST_F(ConfigExchangeTest, ReceiveOrWaitFailureFailsAtOnce) {
    for (Call call : {Call::kReceive, Call::kWait, Call::kSend, Call::kBindAnyPort,
                      Call::kEnableBroadcast, Call::kOpen}) {
        net::FakeNetwork network;
        net::ScopedSocketLayer installed(&network);
        const int first = network.AddInterface("eth0", "10.0.0.200");
        network.AddInterface("eth1", "192.168.1.200");
        network.AddResponder(first, Answer(kAcknowledgement, "10.0.0.5"));
        network.FailCall(call, 1);
        EXPECT_EQ(SendReset("000A1B2C3D4E"), 0) << static_cast<int>(call);
        EXPECT_EQ(network.openSockets(), 0) << static_cast<int>(call);
        EXPECT_EQ(network.doubleCloses(), 0) << static_cast<int>(call);
        EXPECT_LE(network.sent().size(), 1u) << "later addresses were tried";
    }
}

TEST_F(ConfigExchangeTest, ConfigureAndResetAgainstASimulatedAccessPoint) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    auto settings = MakeAccessPoint("Target", 0x4E, "10.0.0.5");
    sim::AccessPoint& model = network_.AddAccessPoint(lan, settings);
    EXPECT_EQ(
        ConfigureAndReset(0, "000A1B2C3D4E", "10.0.0.77", "255.255.255.0", "10.0.0.1", "10.0.0.1"),
        ConfigureOutcome::kSuccess);
    EXPECT_EQ(model.CurrentAddress(), net::AddressFromText("10.0.0.77"));
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].timeMs - sent[0].timeMs, 3000) << "the pause before the reset";
}

TEST_F(ConfigExchangeTest, ConfigureAndResetStopsAtTheFirstUnacknowledgedRequest) {
    const int lan = network_.AddInterface("eth0", "10.0.0.200");
    auto silentOnReset = MakeAccessPoint("Target", 0x4E, "10.0.0.5");
    silentOnReset.acknowledgeReset = false;
    network_.AddAccessPoint(lan, silentOnReset);
    EXPECT_EQ(ConfigureAndReset(1, "000A1B2C3D4E", "NULL", "NULL", "NULL", "NULL"),
              ConfigureOutcome::kResetFailed);

    EXPECT_EQ(ConfigureAndReset(1, "FFFFFFFFFFFF", "NULL", "NULL", "NULL", "NULL"),
              ConfigureOutcome::kSetFailed);
    // No pause and no reset request after the refused configuration.
    const auto sent = network_.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].bytes[7], 'b');
}

}  // namespace
