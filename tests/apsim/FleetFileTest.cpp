#include <gtest/gtest.h>

#include <ostream>

#include <QByteArray>

#include <string>
#include <vector>

#include "tools/apsim/FleetFile.h"

namespace {

std::uint32_t Address(const char* text) {
    std::uint32_t address = 0;
    EXPECT_TRUE(apsim::ParseAddress(text, &address)) << text;
    return address;
}

apsim::Fleet Parse(const std::string& json) {
    apsim::Fleet fleet;
    std::string error;
    EXPECT_TRUE(apsim::ParseFleet(QByteArray::fromStdString(json), &fleet, &error)) << error;
    return fleet;
}

TEST(FleetFile, ReadsEveryFieldOfAnAccessPoint) {
    const apsim::Fleet fleet = Parse(R"({
      "accessPoints": [{
        "name": "Lobby\u00e9", "mac": "00:0a:1B:2C:3D:4E", "network": "lan1",
        "address": "172.16.9.9", "description": "Ground floor", "firmware": "010B",
        "ssidBg": "guest", "channelBg": 6, "ssidA": "staff", "channelA": 36, "wirelessMode": 7,
        "answer": "first", "status": 1, "replyDelayMs": 250, "reply": "broadcast",
        "elements": [2, 1, 40000],
        "extraElements": [{"type": 3, "hex": "0A 00 00 0C"}, {"type": 99, "text": "x",
                           "length": 1}],
        "trailingHex": "FFEE", "areaLength": 999, "rawReplyHex": "4100",
        "acknowledgeConfiguration": false, "acknowledgeReset": false,
        "acknowledgementStatus": 1, "silentAfterResetMs": 500, "junkEveryMs": 3500,
        "dhcpPool": ["192.168.1.150", "192.168.1.151"]
      }]})");
    ASSERT_EQ(fleet.accessPoints.size(), 1u);
    const sim::AccessPointSettings& ap = fleet.accessPoints[0].settings;
    EXPECT_EQ(ap.name, "Lobby\xE9");  // Latin-1: one byte per character
    EXPECT_EQ(ap.mac, (std::array<std::uint8_t, 6>{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    EXPECT_EQ(ap.description, "Ground floor");
    EXPECT_EQ(ap.firmware, (std::array<std::uint8_t, 2>{0x01, 0x0B}));
    EXPECT_EQ(ap.ssidBg, "guest");
    EXPECT_EQ(ap.channelBg, 6);
    EXPECT_EQ(ap.ssidA, "staff");
    EXPECT_EQ(ap.channelA, 36);
    EXPECT_EQ(ap.wirelessMode, 7);
    EXPECT_FALSE(ap.answerEveryCopy);
    EXPECT_EQ(ap.status, 1);
    EXPECT_EQ(ap.replyDelayMs, 250);
    EXPECT_TRUE(ap.replyByBroadcast);
    EXPECT_EQ(ap.elementOrder, (std::vector<std::uint16_t>{2, 1, 40000}));
    ASSERT_EQ(ap.extraElements.size(), 2u);
    EXPECT_EQ(ap.extraElements[0].type, 3);
    EXPECT_EQ(ap.extraElements[0].value, (std::vector<std::uint8_t>{0x0A, 0x00, 0x00, 0x0C}));
    EXPECT_FALSE(ap.extraElements[0].declaredLength.has_value());
    EXPECT_EQ(ap.extraElements[1].value, (std::vector<std::uint8_t>{'x'}));
    EXPECT_EQ(ap.extraElements[1].declaredLength, 1);
    EXPECT_EQ(ap.trailingBytes, (std::vector<std::uint8_t>{0xFF, 0xEE}));
    EXPECT_EQ(ap.declaredAreaLength, 999);
    EXPECT_EQ(ap.rawReply, (std::vector<std::uint8_t>{0x41, 0x00}));
    EXPECT_FALSE(ap.acknowledgeConfiguration);
    EXPECT_FALSE(ap.acknowledgeReset);
    EXPECT_EQ(ap.acknowledgementStatus, 1);
    EXPECT_EQ(ap.silentAfterResetMs, 500);
    EXPECT_EQ(fleet.accessPoints[0].junkEveryMs, 3500);
    EXPECT_EQ(apsim::JunkIntervalsOn(fleet, "lan1"), std::vector<int>{3500});
    EXPECT_EQ(ap.dhcpPool,
              (std::vector<std::uint32_t>{Address("192.168.1.150"), Address("192.168.1.151")}));

    const auto onLan1 = apsim::AccessPointsOn(fleet, "lan1");
    ASSERT_EQ(onLan1.size(), 1u);
    EXPECT_EQ(onLan1[0].address, Address("172.16.9.9"));
    EXPECT_TRUE(apsim::AccessPointsOn(fleet, "lan0").empty());
}

TEST(FleetFile, UnsetFieldsKeepTheModelsDefaults) {
    const apsim::Fleet fleet =
        Parse(R"({"accessPoints": [{"mac": "000A1B2C3D4E", "address": "10.0.0.5"}]})");
    const sim::AccessPointSettings& ap = fleet.accessPoints[0].settings;
    const sim::AccessPointSettings defaults;
    EXPECT_TRUE(ap.answerEveryCopy);
    EXPECT_FALSE(ap.replyByBroadcast);
    EXPECT_FALSE(ap.elementOrder.has_value());
    EXPECT_FALSE(ap.rawReply.has_value());
    EXPECT_EQ(ap.silentAfterResetMs, defaults.silentAfterResetMs);
    // With no network named, an access point sits on the first one.
    ASSERT_EQ(fleet.accessPoints[0].placements.size(), 1u);
    EXPECT_EQ(fleet.accessPoints[0].placements[0].network, "lan0");
}

TEST(FleetFile, WithoutNetworksTheLabHasTwo) {
    const apsim::Fleet fleet = Parse(R"({"accessPoints": []})");
    ASSERT_EQ(fleet.networks.size(), 2u);
    EXPECT_EQ(fleet.networks[0].name, "lan0");
    EXPECT_EQ(fleet.networks[0].hostAddress, Address("10.0.0.200"));
    EXPECT_EQ(fleet.networks[1].name, "lan1");
    EXPECT_EQ(fleet.networks[1].hostAddress, Address("192.168.1.200"));
    EXPECT_EQ(fleet.networks[1].prefixLength, 24);
}

TEST(FleetFile, AnAccessPointOnTwoNetworksAnswersFromAnAddressOnEach) {
    const apsim::Fleet fleet = Parse(R"({
      "networks": [{"name": "a", "hostAddress": "10.1.0.1/16"},
                   {"name": "b", "hostAddress": "10.2.0.1/16"},
                   {"name": "c", "hostAddress": "10.3.0.1/16"}],
      "accessPoints": [{"mac": "000A1B2C3D4E", "network": ["c", "a"],
                        "address": ["10.3.0.9", "10.1.0.9"]}]})");
    ASSERT_EQ(apsim::AccessPointsOn(fleet, "a").size(), 1u);
    EXPECT_EQ(apsim::AccessPointsOn(fleet, "a")[0].address, Address("10.1.0.9"));
    EXPECT_EQ(apsim::AccessPointsOn(fleet, "c")[0].address, Address("10.3.0.9"));
    EXPECT_TRUE(apsim::AccessPointsOn(fleet, "b").empty());
}

TEST(FleetFile, DefaultsApplyUnlessAnAccessPointSaysOtherwise) {
    const apsim::Fleet fleet = Parse(R"({
      "defaults": {"reply": "broadcast", "status": 1, "network": "lan1"},
      "accessPoints": [{"mac": "000A1B2C3D4E", "address": "192.168.1.5"},
                       {"mac": "000A1B2C3D4F", "address": "10.0.0.6", "status": 0,
                        "network": "lan0"}]})");
    EXPECT_TRUE(fleet.accessPoints[0].settings.replyByBroadcast);
    EXPECT_EQ(fleet.accessPoints[0].settings.status, 1);
    EXPECT_EQ(fleet.accessPoints[0].placements[0].network, "lan1");
    EXPECT_TRUE(fleet.accessPoints[1].settings.replyByBroadcast);
    EXPECT_EQ(fleet.accessPoints[1].settings.status, 0);
    EXPECT_EQ(fleet.accessPoints[1].placements[0].network, "lan0");
}

struct MalformedCase {
    const char* json;
    const char* message;  // the start of the error: the path of the wrong field
};

// Test names stay the same from run to run: the case shows as the error it expects.
void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << '"' << c.message << '"';
}

class MalformedFleet : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedFleet, IsRefusedNamingTheField) {
    apsim::Fleet fleet;
    std::string error;
    EXPECT_FALSE(apsim::ParseFleet(QByteArray(GetParam().json), &fleet, &error));
    EXPECT_EQ(error.rfind(GetParam().message, 0), 0u)
        << "error: " << error << "\nexpected it to start with: " << GetParam().message;
}

#define AP(fields) \
    "{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"address\": \"10.0.0.5\"" fields "}]}"

INSTANTIATE_TEST_SUITE_P(
    FleetFile, MalformedFleet,
    testing::Values(
        MalformedCase{"{\"accessPoints\": [", "fleet: not valid JSON"},
        MalformedCase{"[]", "fleet: expected a JSON object"},
        MalformedCase{"{\"acesspoints\": []}", "acesspoints: unknown field"},
        MalformedCase{"{}", "accessPoints: expected an array"},
        MalformedCase{"{\"accessPoints\": [7]}", "accessPoints[0]: expected an object"},
        MalformedCase{"{\"accessPoints\": [{\"address\": \"10.0.0.5\"}]}",
                      "accessPoints[0].mac: missing"},
        MalformedCase{"{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\"}]}",
                      "accessPoints[0].address: missing"},
        MalformedCase{AP(", \"adress\": \"10.0.0.6\""), "accessPoints[0].adress: unknown field"},
        MalformedCase{
            "{\"accessPoints\": [{\"mac\": \"00:0A:1B:2C:3D\", \"address\": \"10.0.0.5\"}]}",
            "accessPoints[0].mac: expected 12 hexadecimal digits"},
        MalformedCase{
            "{\"accessPoints\": [{\"mac\": \"00:0A-1B:2C:3D:4E\", \"address\": \"10.0.0.5\"}]}",
            "accessPoints[0].mac"},
        MalformedCase{
            "{\"accessPoints\": [{\"mac\": \"000A1B2C3D4G\", \"address\": \"10.0.0.5\"}]}",
            "accessPoints[0].mac"},
        MalformedCase{
            "{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"address\": \"10.0.0.256\"}]}",
            "accessPoints[0].address: expected a dotted IPv4 address"},
        MalformedCase{"{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"address\": \"10.0.0\"}]}",
                      "accessPoints[0].address"},
        MalformedCase{
            "{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"address\": \"10.0.0.200\"}]}",
            "accessPoints[0].address: 10.0.0.200 is the lab host's own address"},
        MalformedCase{"{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"network\": [\"lan0\", "
                      "\"lan1\"], \"address\": \"10.0.0.5\"}]}",
                      "accessPoints[0].address: expected one address per network"},
        MalformedCase{AP(", \"network\": \"lan7\""),
                      "accessPoints[0].network: no network named \"lan7\""},
        MalformedCase{"{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"network\": [\"lan0\", "
                      "\"lan9\"], \"address\": [\"10.0.0.5\", \"10.0.0.6\"]}]}",
                      "accessPoints[0].network[1]: no network named"},
        MalformedCase{"{\"accessPoints\": [{\"mac\": \"000A1B2C3D4E\", \"network\": [\"lan0\", "
                      "\"lan1\"], \"address\": [\"10.0.0.5\", \"10.0.0.x\"]}]}",
                      "accessPoints[0].address[1]"},
        MalformedCase{AP(", \"status\": 256"),
                      "accessPoints[0].status: expected a whole number from 0 to 255"},
        MalformedCase{AP(", \"channelBg\": 1.5"), "accessPoints[0].channelBg"},
        MalformedCase{AP(", \"channelA\": \"36\""), "accessPoints[0].channelA"},
        MalformedCase{AP(", \"replyDelayMs\": -1"), "accessPoints[0].replyDelayMs"},
        MalformedCase{AP(", \"junkEveryMs\": 60001"),
                      "accessPoints[0].junkEveryMs: expected a whole number from 0 to 60000"},
        MalformedCase{AP(", \"answer\": \"all\""), "accessPoints[0].answer"},
        MalformedCase{AP(", \"reply\": \"multicast\""), "accessPoints[0].reply"},
        MalformedCase{AP(", \"firmware\": \"01\""),
                      "accessPoints[0].firmware: expected 4 hexadecimal digits"},
        MalformedCase{AP(", \"name\": \"\\u0100\""), "accessPoints[0].name: character U+0100"},
        MalformedCase{AP(", \"name\": 5"), "accessPoints[0].name: expected a text"},
        MalformedCase{AP(", \"elements\": [\"1\"]"), "accessPoints[0].elements[0]"},
        MalformedCase{AP(", \"extraElements\": [{\"type\": 1, \"hex\": \"0\"}]"),
                      "accessPoints[0].extraElements[0].hex: odd number"},
        MalformedCase{AP(", \"extraElements\": [{\"hex\": \"00\"}]"),
                      "accessPoints[0].extraElements[0].type: missing"},
        MalformedCase{AP(", \"extraElements\": [{\"type\": 1, \"colour\": 1}]"),
                      "accessPoints[0].extraElements[0].colour: unknown field"},
        MalformedCase{AP(", \"extraElements\": [{\"type\": 1, \"length\": 256}]"),
                      "accessPoints[0].extraElements[0].length"},
        MalformedCase{AP(", \"acknowledgeReset\": \"yes\""),
                      "accessPoints[0].acknowledgeReset: expected true or false"},
        MalformedCase{AP(", \"dhcpPool\": [\"10.0.0.50\", \"x\"]"), "accessPoints[0].dhcpPool[1]"},
        MalformedCase{"{\"defaults\": {\"mac\": \"000A1B2C3D4E\"}, \"accessPoints\": []}",
                      "defaults.mac: belongs to each access point"},
        MalformedCase{"{\"defaults\": {\"status\": -3}, \"accessPoints\": []}", "defaults.status"},
        MalformedCase{"{\"networks\": [], \"accessPoints\": []}", "networks: expected a non-empty"},
        MalformedCase{"{\"networks\": [{\"name\": \"Lan0\", \"hostAddress\": \"10.0.0.1/24\"}], "
                      "\"accessPoints\": []}",
                      "networks[0].name"},
        MalformedCase{"{\"networks\": [{\"name\": \"host\", \"hostAddress\": \"10.0.0.1/24\"}], "
                      "\"accessPoints\": []}",
                      "networks[0].name"},
        MalformedCase{"{\"networks\": [{\"name\": \"network12\", \"hostAddress\": "
                      "\"10.0.0.1/24\"}], \"accessPoints\": []}",
                      "networks[0].name"},
        MalformedCase{"{\"networks\": [{\"name\": \"a\", \"hostAddress\": \"10.0.0.1\"}], "
                      "\"accessPoints\": []}",
                      "networks[0].hostAddress: expected ADDRESS/PREFIX"},
        MalformedCase{"{\"networks\": [{\"name\": \"a\", \"hostAddress\": \"10.0.0.1/31\"}], "
                      "\"accessPoints\": []}",
                      "networks[0].hostAddress"},
        MalformedCase{"{\"networks\": [{\"name\": \"a\", \"hostAddress\": \"10.0.0.1/24\"}, "
                      "{\"name\": \"a\", \"hostAddress\": \"10.0.1.1/24\"}], \"accessPoints\": []}",
                      "networks[1].name: \"a\" is used twice"},
        MalformedCase{"{\"networks\": [{\"name\": \"a\", \"hostAddress\": \"10.0.0.1/16\"}, "
                      "{\"name\": \"b\", \"hostAddress\": \"10.0.1.1/24\"}], \"accessPoints\": []}",
                      "networks[1].hostAddress: overlaps the subnet of network \"a\""},
        MalformedCase{"{\"networks\": [{\"name\": \"a\", \"hostAddress\": \"10.0.0.1/24\", "
                      "\"mtu\": 9000}], \"accessPoints\": []}",
                      "networks[0].mtu: unknown field"}));

TEST(FleetFile, ATextLongerThanOneElementCanCarryIsRefused) {
    const auto withDescription = [](std::size_t length) {
        return QByteArray::fromStdString(
            R"({"accessPoints": [{"mac": "000A1B2C3D4E", "address": "10.0.0.5", "description": ")" +
            std::string(length, 'n') + "\"}]}");
    };
    apsim::Fleet fleet;
    std::string error;
    EXPECT_TRUE(apsim::ParseFleet(withDescription(252), &fleet, &error)) << error;
    EXPECT_FALSE(apsim::ParseFleet(withDescription(253), &fleet, &error));
    EXPECT_EQ(error.rfind("accessPoints[0].description: longer than 252 bytes", 0), 0u) << error;
}

TEST(FleetFile, TenNetworksAreTheMost) {
    const auto fleetOf = [](int count) {
        std::string networks;
        for (int i = 0; i < count; ++i) {
            networks += std::string(i ? "," : "") + "{\"name\": \"n" + std::to_string(i) +
                        "\", \"hostAddress\": \"10." + std::to_string(i) + ".0.1/24\"}";
        }
        return QByteArray::fromStdString("{\"networks\": [" + networks +
                                         "], \"accessPoints\": []}");
    };
    apsim::Fleet fleet;
    std::string error;
    EXPECT_TRUE(apsim::ParseFleet(fleetOf(10), &fleet, &error)) << error;
    EXPECT_EQ(fleet.networks.size(), 10u);
    EXPECT_FALSE(apsim::ParseFleet(fleetOf(11), &fleet, &error));
    EXPECT_EQ(error.rfind("networks: at most 10", 0), 0u) << error;
}

TEST(FleetFile, AccessPointOptionAddsToTheDefaultNetworks) {
    apsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(apsim::AddAccessPointFromJson(
        R"({"name": "A", "mac": "000A1B2C3D4E", "address": "10.0.0.5"})", &fleet, &error))
        << error;
    EXPECT_EQ(fleet.networks.size(), 2u);
    EXPECT_EQ(apsim::AccessPointsOn(fleet, "lan0").size(), 1u);
    EXPECT_FALSE(apsim::AddAccessPointFromJson("name=A", &fleet, &error));
    EXPECT_EQ(error.rfind("--ap 2: expected a JSON object", 0), 0u) << error;
    EXPECT_FALSE(apsim::AddAccessPointFromJson(R"({"mac": "000A1B2C3D4E", "address": "1.2.3"})",
                                               &fleet, &error));
    EXPECT_EQ(error.rfind("--ap 2.address", 0), 0u) << error;
}

TEST(FleetFile, AddressesAreFourDecimalOctets) {
    struct Case {
        const char* text;
        bool valid;
    };
    for (const Case& c :
         {Case{"10.0.0.5", true}, Case{"255.255.255.255", true}, Case{"010.0.0.1", true},
          Case{"0.0.0.0", true}, Case{"", false}, Case{"1.2.3", false}, Case{"1.2.3.4.5", false},
          Case{"1..2.3", false}, Case{"256.1.1.1", false}, Case{"1.2.3.4 ", false},
          Case{"1.2.3.0004", false}, Case{"-1.2.3.4", false}}) {
        std::uint32_t address = 0;
        EXPECT_EQ(apsim::ParseAddress(c.text, &address), c.valid) << c.text;
    }
    EXPECT_EQ(apsim::FormatAddress(Address("010.0.0.1")), "10.0.0.1");
}

}  // namespace
