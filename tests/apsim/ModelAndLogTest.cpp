#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <vector>

#include "sim/AccessPointModel.h"
#include "tools/apsim/EventLog.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Written out from the protocol tables.
const Bytes kDiscoveryRequest = {0x40, 0x0D, 0x18, 0x00, 'a',  'a',  'a',  'a',  ':',  0x0A,
                                 0x01, 0x00, 0x02, 0x00, 0x08, 0x00, 0x09, 0x00, 0x0B, 0x00,
                                 0x0C, 0x00, 0x0D, 0x00, 0x15, 0x00, 0x16, 0x00};
const Bytes kDhcpRequest = {0x60, 0x0D, 0x10, 0x00, 'a',  'a',  'a',  'b',  ':',  0x0A,
                            0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x07, 0x00, 0x04, 0x01};
const Bytes kResetRequest = {0x60, 0x0D, 0x0C, 0x00, 'a',  'a',  'a',  'c',
                             ':',  0x0A, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};

sim::AccessPointSettings NameOnly() {
    sim::AccessPointSettings settings;
    settings.name = "AP";
    settings.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    settings.elementOrder = std::vector<std::uint16_t>{1};
    return settings;
}

Bytes Answer(sim::AccessPoint& accessPoint, const Bytes& request, std::int64_t nowMs = 0) {
    const auto replies = accessPoint.HandleDatagram(request.data(), request.size(), nowMs);
    return replies.empty() ? Bytes{} : replies.front().bytes;
}

TEST(AccessPointModel, FloodSendsEveryCopyFromItsOwnMacWhenAsked) {
    sim::AccessPointSettings settings = NameOnly();
    settings.elementOrder = std::vector<std::uint16_t>{2};
    settings.mac = {0x02, 0, 0, 0, 0x00, 0xFE};
    settings.floodCopies = 3;
    settings.floodDistinctMacs = true;
    sim::AccessPoint accessPoint(settings);
    const auto replies =
        accessPoint.HandleDatagram(kDiscoveryRequest.data(), kDiscoveryRequest.size(), 0);
    ASSERT_EQ(replies.size(), 3u);
    // The MAC value is the last 6 bytes of each reply; its last two count up across a carry.
    const Bytes tails[] = {{0x00, 0xFE}, {0x00, 0xFF}, {0x01, 0x00}};
    for (std::size_t i = 0; i < 3; ++i) {
        const Bytes& bytes = replies[i].bytes;
        EXPECT_EQ(Bytes(bytes.end() - 2, bytes.end()), tails[i]) << i;
    }
    settings.floodDistinctMacs = false;
    sim::AccessPoint same(settings);
    const auto copies = same.HandleDatagram(kDiscoveryRequest.data(), kDiscoveryRequest.size(), 0);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0].bytes, copies[2].bytes);
}

TEST(AccessPointModel, RawReplyIsSentAsGiven) {
    sim::AccessPointSettings settings = NameOnly();
    settings.rawReply = Bytes{0x41, 0x0D};  // too short to carry a status
    sim::AccessPoint accessPoint(settings);
    EXPECT_EQ(Answer(accessPoint, kDiscoveryRequest), (Bytes{0x41, 0x0D}));
}

TEST(AccessPointModel, TrailingBytesCountInTheAreaUnlessALengthIsDeclared) {
    sim::AccessPointSettings settings = NameOnly();
    settings.trailingBytes = {0xFF, 0x00};
    sim::AccessPoint honest(settings);
    EXPECT_EQ(Answer(honest, kDiscoveryRequest),
              (Bytes{0x41, 0x0D, 0x00, 0x07, 0x00, 0x01, 0x00, 0x05, 'A', 'P', 0xFF, 0x00}));

    settings.declaredAreaLength = 0x0400;  // claims far more than it carries
    sim::AccessPoint lying(settings);
    EXPECT_EQ(Answer(lying, kDiscoveryRequest),
              (Bytes{0x41, 0x0D, 0x00, 0x00, 0x04, 0x01, 0x00, 0x05, 'A', 'P', 0xFF, 0x00}));
}

TEST(AccessPointModel, AcknowledgementsCarryTheConfiguredStatus) {
    sim::AccessPointSettings settings = NameOnly();
    settings.acknowledgementStatus = 1;
    sim::AccessPoint accessPoint(settings);
    const Bytes expected = {0x41, 0x0D, 0x01, 0x09, 0x00, 0x02, 0x00,
                            0x09, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    EXPECT_EQ(Answer(accessPoint, kDhcpRequest), expected);
    EXPECT_EQ(Answer(accessPoint, kResetRequest), expected);
}

// Regression: a 300-byte name wrapped the element's length byte to 47 and corrupted the reply.
TEST(AccessPointModel, ATextTooLongForOneElementIsCutNotWrapped) {
    sim::AccessPointSettings settings = NameOnly();
    settings.name.assign(300, 'n');
    sim::AccessPoint accessPoint(settings);
    const Bytes reply = Answer(accessPoint, kDiscoveryRequest);
    ASSERT_EQ(reply.size(), 5u + 255u);
    EXPECT_EQ(reply[7], 0xFF);
    EXPECT_EQ(reply[3] | (reply[4] << 8), 255);
}

TEST(EventLog, EveryByteOfAHostileTextSurvivesAsValidJson) {
    std::string text = "quote\" backslash\\ newline\n nul";
    text.push_back('\0');
    text += " high\xE9\xFF tab\t";
    const std::string line =
        apsim::JsonLine().Text("name", text).Integer("n", -5).Seconds("mono", 12.5).str();
    QJsonParseError error{};
    const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_EQ(parsed.object().value("name").toString().toLatin1().toStdString(), text);
    EXPECT_EQ(parsed.object().value("n").toInt(), -5);
    EXPECT_DOUBLE_EQ(parsed.object().value("mono").toDouble(), 12.5);
}

TEST(EventLog, HexTextIsUpperCaseWithoutSeparators) {
    const std::uint8_t bytes[] = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(apsim::HexText(bytes, sizeof bytes), "000AFF");
    EXPECT_EQ(apsim::HexText(bytes, 0), "");
}

}  // namespace
