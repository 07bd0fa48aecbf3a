#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "net/FakeNetwork.h"
#include "tools/apctl/Apply.h"
#include "tools/apctl/ApctlNetworks.h"

namespace {

using apctl::Plan;
using apctl::PlanRow;

constexpr char kHeader[] = "mac,mode,ip,mask,gateway,dns\n";

std::vector<std::string> ParseErrors(const std::string& text) {
    std::istringstream in(text);
    Plan plan;
    std::vector<std::string> errors;
    const bool parsed = apctl::ParsePlan(in, "plan.csv", &plan, &errors);
    EXPECT_EQ(parsed, errors.empty());
    return errors;
}

TEST(PlanParsing, AcceptedForms) {
    const std::string text =
        "\xEF\xBB\xBF# written by a spreadsheet\r\n"
        "\r\n"
        "mac,mode,ip,mask,gateway,dns\r\n"
        "000a1b100001,fixed,10.0.0.11,255.255.255.0,10.0.0.1,10.0.0.53\r\n"
        "  # a comment after blanks\n"
        "00:0A:1b:10:00:02 , FIXED , 010.000.000.012 , 255.255.255.000 , 10.0.0.1 , 8.8.8.8\n"
        "\"00-0a-1b-10-00-03\",\"dhcp\",\"\",,,\n"
        "000A1B100004,dhcp,,,,";
    std::istringstream in(text);
    Plan plan;
    std::vector<std::string> errors;
    ASSERT_TRUE(apctl::ParsePlan(in, "plan.csv", &plan, &errors)) << errors.front();
    ASSERT_EQ(plan.rows.size(), 4u);
    struct Expected {
        int line;
        const char* mac;
        bool dhcp;
        const char *ip, *mask, *gateway, *dns;
    };
    const Expected expected[] = {
        {4, "000A1B100001", false, "10.0.0.11", "255.255.255.0", "10.0.0.1", "10.0.0.53"},
        // Leading zeros are decimal, never octal, and the address is kept as the access point
        // will report it.
        {6, "000A1B100002", false, "10.0.0.12", "255.255.255.0", "10.0.0.1", "8.8.8.8"},
        {7, "000A1B100003", true, "", "", "", ""},
        {8, "000A1B100004", true, "", "", "", ""},
    };
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const PlanRow& row = plan.rows[i];
        const Expected& e = expected[i];
        EXPECT_EQ(row.line, e.line);
        EXPECT_EQ(row.macText, e.mac);
        EXPECT_EQ(row.dhcpClient, e.dhcp);
        EXPECT_EQ(row.ipAddress, e.ip);
        EXPECT_EQ(row.subnetMask, e.mask);
        EXPECT_EQ(row.gateway, e.gateway);
        EXPECT_EQ(row.dnsServer, e.dns);
    }
}

// Each wrong line comes after a comment, the header and a good row, so the line number shows.
TEST(PlanParsing, EachErrorNamesItsLineAndField) {
    struct Case {
        std::string line;
        std::string error;
    };
    const Case cases[] = {
        {"000A1B100002,fixed,10.0.0.12,255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: mask: not a dotted address: 255.255.0"},
        {"000A1B10000,fixed,10.0.0.12,255.255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: mac: not a MAC address: 000A1B10000"},
        {"00:0A:1B-10:00:02,dhcp,,,,", "plan.csv:4: mac: not a MAC address: 00:0A:1B-10:00:02"},
        {"000A1B100002,static,10.0.0.12,255.255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: mode: expected dhcp or fixed, got static"},
        {"000A1B100002,,,,,", "plan.csv:4: mode: expected dhcp or fixed, got ''"},
        {"000A1B100002,dhcp,10.0.0.12,,,", "plan.csv:4: ip: must be empty for dhcp, got 10.0.0.12"},
        {"000A1B100002,fixed,10.0.0.12,255.255.255.0,,10.0.0.1",
         "plan.csv:4: gateway: missing (fixed needs ip, mask, gateway and dns)"},
        {"000A1B100002,fixed,10.0.0.12,255.255.255.0,10.0.0.1,0x0a.0.0.1",
         "plan.csv:4: dns: not a dotted address: 0x0a.0.0.1"},
        {"000A1B100002,fixed,10.0.0.256,255.255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: ip: not a dotted address: 10.0.0.256"},
        {"000A1B100002,fixed,10.0.0.12,255.255.255.255,10.0.0.1,10.0.0.1",
         "plan.csv:4: mask: 255.255.255.255 cannot be given to an access point"},
        {"000A1B100002,fixed,10.0.0.12,1.2.3.4,10.0.0.1,10.0.0.1",
         "plan.csv:4: mask: not a contiguous subnet mask: 1.2.3.4"},
        {"000A1B100002,fixed,10.0.0.12,0.0.0.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: mask: not a contiguous subnet mask: 0.0.0.0"},
        {"000A1B100002,fixed,10.0.0.12,255.255.255.0,10.0.0.1",
         "plan.csv:4: expected 6 fields (mac,mode,ip,mask,gateway,dns), got 5"},
        {"000A1B100002,dhcp,,,,,",
         "plan.csv:4: expected 6 fields (mac,mode,ip,mask,gateway,dns), got 7"},
        {"\"000A1B100002,dhcp,,,,", "plan.csv:4: field 1: malformed quotes"},
        {"000A1B100002,\"dhcp\"x,,,,", "plan.csv:4: field 2: malformed quotes"},
        // The same access point twice, in another form.
        {"00:0a:1b:10:00:01,dhcp,,,,", "plan.csv:4: mac: 000A1B100001 is also on line 3"},
        // The same fixed address twice, once with leading zeros.
        {"000A1B100002,fixed,010.0.0.011,255.255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: ip: 10.0.0.11 is also planned on line 3"},
        // Control characters from the file are never repeated as they are.
        {"000A1B10000\x1B,dhcp,,,,",
         "plan.csv:4: mac: contains a control character: 000A1B10000\\x1B"},
        // Nothing is read only up to a control character: the NUL would cut the address short.
        {"000A1B100002,fixed,10.0.0.1" + std::string(1, '\0') + "2,255.255.255.0,10.0.0.1,10.0.0.1",
         "plan.csv:4: ip: contains a control character: 10.0.0.1\\x002"},
        {"000A1B100002,\"dh\tcp\",,,,",
         "plan.csv:4: mode: contains a control character: dh\\x09cp"},
        {std::string(apctl::kPlanLineLimit + 1, 'x'), "plan.csv:4: longer than 1024 bytes"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> errors = ParseErrors(
            std::string("# plan\n") + kHeader +
            "000A1B100001,fixed,10.0.0.11,255.255.255.0,10.0.0.1,10.0.0.1\n" + c.line + "\n");
        ASSERT_EQ(errors.size(), 1u) << c.line;
        EXPECT_EQ(errors[0], c.error);
    }
}

TEST(PlanParsing, EveryErrorIsReportedNotOnlyTheFirst) {
    const std::vector<std::string> errors =
        ParseErrors(std::string(kHeader) +
                    "000A1B100001,fixed,10.0.0.11,255.255.0,10.0.0.1,1.1.1\n"
                    "000A1B100002,dhcp,,,,\n"
                    "000A1B100001,dhcp,,,,\n");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "plan.csv:2: mask: not a dotted address: 255.255.0",
                          "plan.csv:2: dns: not a dotted address: 1.1.1",
                          "plan.csv:4: mac: 000A1B100001 is also on line 2",
                      }));
}

TEST(PlanParsing, DhcpRowsShareNoAddressWithAnyone) {
    EXPECT_EQ(ParseErrors(std::string(kHeader) + "000A1B100001,dhcp,,,,\n000A1B100002,dhcp,,,,\n"),
              std::vector<std::string>{});
}

TEST(PlanParsing, WrongOrMissingHeaderAndEmptyPlans) {
    struct Case {
        std::string text;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"", {"plan.csv: no header line (mac,mode,ip,mask,gateway,dns)"}},
        {"# only a comment\n\n", {"plan.csv: no header line (mac,mode,ip,mask,gateway,dns)"}},
        // A comment is skipped whatever its length, so the header after it is the header.
        {"# " + std::string(3 * apctl::kPlanLineLimit, 'c') + "\n" + kHeader +
             "000A1B100001,dhcp,,,,\n",
         {}},
        {kHeader, {"plan.csv: no rows after the header"}},
        // The columns are fixed: a reordered header would put addresses in the wrong fields.
        {"mac,mode,mask,ip,gateway,dns\n000A1B100001,dhcp,,,,\n",
         {"plan.csv:1: header: expected mac,mode,ip,mask,gateway,dns, got "
          "mac,mode,mask,ip,gateway,dns"}},
        {"MAC,Mode,IP,Mask,Gateway,DNS\n",
         {"plan.csv:1: header: expected mac,mode,ip,mask,gateway,dns, got "
          "MAC,Mode,IP,Mask,Gateway,DNS"}},
        // A file without a header: its first row is taken for a wrong header.
        {"000A1B100001,dhcp,,,,\n000A1B100002,dhcp,,,,\n",
         {"plan.csv:1: header: expected mac,mode,ip,mask,gateway,dns, got "
          "000A1B100001,dhcp,,,,"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseErrors(c.text), c.errors) << c.text;
    }
}

TEST(PlanParsing, SizeLimits) {
    std::string rows = kHeader;
    for (std::size_t i = 0; i <= apctl::kPlanRowLimit; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "02%010zX,dhcp,,,,\n", i);
        rows += line;
    }
    EXPECT_EQ(ParseErrors(rows), std::vector<std::string>{"plan.csv:4098: more than 4096 rows"});

    // Endless input is never read to its end: a plan has no use for more than a few megabytes.
    std::string comments = kHeader;
    const std::string comment = "#" + std::string(1000, 'c') + "\n";
    while (comments.size() <= apctl::kPlanByteLimit) {
        comments += comment;
    }
    EXPECT_EQ(ParseErrors(comments),
              std::vector<std::string>{
                  "plan.csv: larger than 4 MiB, which no plan of at most 4096 rows needs"});
}

// --- apply on the fake network ---------------------------------------------------------------

constexpr char kFactoryAddress[] = "192.168.0.254";

std::array<std::uint8_t, 6> MacOf(int n) {
    return {0x00, 0x0A, 0x1B, 0x10, 0x00, static_cast<std::uint8_t>(n)};
}

std::string MacText(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "000A1B1000%02X", n);
    return text;
}

sim::AccessPointSettings FactoryAccessPoint(int n) {
    sim::AccessPointSettings settings;
    settings.name = "AP" + std::to_string(n);
    settings.mac = MacOf(n);
    settings.address = net::AddressFromText(kFactoryAddress);
    settings.replyByBroadcast = true;
    settings.silentAfterResetMs = 9000;
    return settings;
}

std::string FixedRow(int n, const std::string& ip) {
    return MacText(n) + ",fixed," + ip + ",255.255.255.0,10.0.0.1,10.0.0.1\n";
}

class ApplyTest : public ::testing::Test {
protected:
    ApplyTest() : installed_(&network_) { lan_ = network_.AddInterface("lan0", "10.0.0.200"); }

    // Parses and applies a plan; the plan must be well-formed.
    int Apply(const std::string& rows, const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments = {"apply", "plan.csv"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::string error;
        EXPECT_TRUE(apctl::ParseCommandLine(arguments, &command_, &error)) << error;
        std::istringstream in(kHeader + rows);
        Plan plan;
        std::vector<std::string> errors;
        EXPECT_TRUE(apctl::ParsePlan(in, "plan.csv", &plan, &errors));
        out_.str("");
        err_.str("");
        apctl::RunContext context;
        context.stop = &stop_;
        const fleet::Session session = apctl::SessionFor(command_, ExchangeOptions{}, context);
        if (command_.check) {
            return apctl::CheckPlan(command_, plan, session, out_, err_);
        }
        return apctl::ApplyPlan(command_, plan, session, out_, err_);
    }

    // Configuration and reset requests sent since `from` (an index into sent()), by MAC.
    std::vector<std::string> RequestsSince(std::size_t from) const {
        std::vector<std::string> requests;
        const auto sent = network_.sent();
        for (std::size_t i = from; i < sent.size(); ++i) {
            const sim::DecodedRequest request =
                sim::DecodeRequest(sent[i].bytes.data(), sent[i].bytes.size());
            char mac[13];
            std::snprintf(mac, sizeof mac, "%02X%02X%02X%02X%02X%02X", request.mac[0],
                          request.mac[1], request.mac[2], request.mac[3], request.mac[4],
                          request.mac[5]);
            if (request.kind == sim::RequestKind::kSetIpConfiguration) {
                requests.push_back(std::string("set ") + mac);
            } else if (request.kind == sim::RequestKind::kReset) {
                requests.push_back(std::string("reset ") + mac);
            }
        }
        return requests;
    }

    std::vector<std::string> Lines(const std::string& text) const {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    int lan_ = 0;
    apctl::Command command_;
    std::atomic<bool> stop_{false};
    std::ostringstream out_, err_;
};

TEST_F(ApplyTest, FactoryFleetIsReaddressedAndASecondRunSendsNothing) {
    std::vector<sim::AccessPoint*> fleet;
    for (int n = 1; n <= 3; ++n) {
        fleet.push_back(&network_.AddAccessPoint(lan_, FactoryAccessPoint(n)));
    }
    const std::string plan =
        FixedRow(1, "10.0.0.11") + FixedRow(2, "10.0.0.12") + FixedRow(3, "010.0.0.013");
    EXPECT_EQ(Apply(plan), 0) << err_.str();
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(fleet[n - 1]->CurrentAddress(),
                  net::AddressFromText("10.0.0.1" + std::to_string(n)));
    }
    const std::vector<std::string> progress = Lines(err_.str());
    ASSERT_EQ(progress.size(), 5u) << err_.str();
    EXPECT_EQ(progress[0], "discovery ... 3 access points answer");
    // Each access point is silent for 9 s after its reset: the discoveries starting 0 s and
    // 7.2 s after it hear nothing, the one at 14.4 s hears it and ends 5.2 s later.
    for (int n = 1; n <= 3; ++n) {
        char expected[96];
        std::snprintf(expected, sizeof expected,
                      "[%d/3] %s fixed 10.0.0.1%d ... answers at 10.0.0.1%d after 19.6 s", n,
                      MacText(n).c_str(), n, n);
        EXPECT_EQ(progress[n], expected);
    }
    EXPECT_EQ(progress[4], "3 rows: 3 changed");
    EXPECT_EQ(out_.str(),
              "MAC           Planned          Outcome  Address Now\n"
              "000A1B100001  fixed 10.0.0.11  changed  10.0.0.11\n"
              "000A1B100002  fixed 10.0.0.12  changed  10.0.0.12\n"
              "000A1B100003  fixed 10.0.0.13  changed  10.0.0.13\n");
    // Rows are done one after the other: each reset before the next row's request.
    EXPECT_EQ(
        RequestsSince(0),
        (std::vector<std::string>{"set 000A1B100001", "reset 000A1B100001", "set 000A1B100002",
                                  "reset 000A1B100002", "set 000A1B100003", "reset 000A1B100003"}));

    const std::size_t before = network_.sent().size();
    EXPECT_EQ(Apply(plan, {"--json"}), 0) << err_.str();
    EXPECT_EQ(RequestsSince(before), std::vector<std::string>{});
    EXPECT_EQ(out_.str(),
              "[\n"
              "  {\"line\": 2, \"macText\": \"000A1B100001\", \"mode\": \"fixed\", \"planned\": "
              "\"10.0.0.11\", \"outcome\": \"unchanged\", \"address\": \"10.0.0.11\", "
              "\"seconds\": null, \"message\": \"already answers at 10.0.0.11\"},\n"
              "  {\"line\": 3, \"macText\": \"000A1B100002\", \"mode\": \"fixed\", \"planned\": "
              "\"10.0.0.12\", \"outcome\": \"unchanged\", \"address\": \"10.0.0.12\", "
              "\"seconds\": null, \"message\": \"already answers at 10.0.0.12\"},\n"
              "  {\"line\": 4, \"macText\": \"000A1B100003\", \"mode\": \"fixed\", \"planned\": "
              "\"10.0.0.13\", \"outcome\": \"unchanged\", \"address\": \"10.0.0.13\", "
              "\"seconds\": null, \"message\": \"already answers at 10.0.0.13\"}\n"
              "]\n");
    EXPECT_EQ(network_.openSockets(), 0);
}

// Whether a DHCP client already has its lease cannot be seen from its address: the row is sent
// again on every run.
TEST_F(ApplyTest, DhcpRowIsSentOnEveryRun) {
    auto settings = FactoryAccessPoint(1);
    settings.dhcpPool = {net::AddressFromText("10.0.0.101"), net::AddressFromText("10.0.0.102")};
    network_.AddAccessPoint(lan_, settings);
    const std::string plan = MacText(1) + ",dhcp,,,,\n";
    EXPECT_EQ(Apply(plan), 0) << err_.str();
    EXPECT_NE(out_.str().find("000A1B100001  dhcp     changed  10.0.0.101"), std::string::npos)
        << out_.str();
    const std::size_t before = network_.sent().size();
    EXPECT_EQ(Apply(plan), 0) << err_.str();
    EXPECT_EQ(RequestsSince(before),
              (std::vector<std::string>{"set 000A1B100001", "reset 000A1B100001"}));
    EXPECT_NE(out_.str().find("changed  10.0.0.102"), std::string::npos) << out_.str();
}

TEST_F(ApplyTest, EachRowsOutcomeWhenAccessPointsMisbehave) {
    network_.AddAccessPoint(lan_, FactoryAccessPoint(1));
    auto noReset = FactoryAccessPoint(2);
    noReset.acknowledgeReset = false;
    network_.AddAccessPoint(lan_, noReset);
    // Number 3 never comes back from its reset where it was told to: only its twin answers, from
    // another address.
    auto strays = FactoryAccessPoint(3);
    strays.silentAfterResetMs = 24 * 3600 * 1000;
    sim::AccessPoint& stray = network_.AddAccessPoint(lan_, strays);
    auto elsewhere = FactoryAccessPoint(3);
    elsewhere.address = net::AddressFromText("172.16.9.9");
    network_.AddAccessPoint(lan_, elsewhere, [&stray](sim::RequestKind kind, std::int64_t nowMs) {
        return kind == sim::RequestKind::kDiscovery && stray.SilentAt(nowMs);
    });
    // Number 5 does not answer discoveries until it has been configured, yet listens.
    bool configured = false;
    network_.AddAccessPoint(
        lan_, FactoryAccessPoint(5), [&configured](sim::RequestKind kind, std::int64_t) {
            configured = configured || kind == sim::RequestKind::kSetIpConfiguration;
            return configured;
        });
    const std::string plan = FixedRow(1, "10.0.0.11") + FixedRow(2, "10.0.0.12") +
                             FixedRow(3, "10.0.0.13") + FixedRow(4, "10.0.0.14") +
                             FixedRow(5, "10.0.0.15");
    EXPECT_EQ(Apply(plan, {"--verify=30"}), 1);
    EXPECT_EQ(out_.str(),
              "MAC           Planned          Outcome    Address Now\n"
              "000A1B100001  fixed 10.0.0.11  changed    10.0.0.11\n"
              "000A1B100002  fixed 10.0.0.12  failed     192.168.0.254\n"
              "000A1B100003  fixed 10.0.0.13  failed     172.16.9.9\n"
              "000A1B100004  fixed 10.0.0.14  not found  -\n"
              "000A1B100005  fixed 10.0.0.15  changed    10.0.0.15\n");
    const std::vector<std::string> progress = Lines(err_.str());
    ASSERT_EQ(progress.size(), 7u) << err_.str();
    EXPECT_EQ(progress[2],
              "[2/5] 000A1B100002 fixed 10.0.0.12 ... failed: the reset request was not "
              "acknowledged");
    EXPECT_EQ(progress[3],
              "[3/5] 000A1B100003 fixed 10.0.0.13 ... failed: did not answer at 10.0.0.13 within "
              "30.0 s; answered from 172.16.9.9 only");
    EXPECT_EQ(progress[4],
              "[4/5] 000A1B100004 fixed 10.0.0.14 ... not found: not seen in the discovery; the "
              "configuration request was not acknowledged");
    EXPECT_EQ(progress[6], "5 rows: 2 changed, 2 failed, 1 not found");
    // The access point that did not answer the discovery was still sent its request.
    EXPECT_EQ(RequestsSince(0), (std::vector<std::string>{
                                    "set 000A1B100001", "reset 000A1B100001", "set 000A1B100002",
                                    "reset 000A1B100002", "set 000A1B100003", "reset 000A1B100003",
                                    "set 000A1B100004", "set 000A1B100005", "reset 000A1B100005"}));
}

// The stop comes in the middle of row 2, while its reset is sent: row 2 is carried through and
// verified, the rest are skipped and the summary still comes.
TEST_F(ApplyTest, StopBetweenRowsSkipsTheRestAndStillSummarises) {
    std::vector<sim::AccessPoint*> fleet;
    for (int n = 1; n <= 4; ++n) {
        fleet.push_back(&network_.AddAccessPoint(lan_, FactoryAccessPoint(n)));
    }
    network_.AddResponder(
        lan_, [this](const net::FakeNetwork::SentDatagram& request, std::int64_t) {
            const sim::DecodedRequest decoded =
                sim::DecodeRequest(request.bytes.data(), request.bytes.size());
            if (decoded.kind == sim::RequestKind::kReset && decoded.mac == MacOf(2)) {
                stop_.store(true);
            }
            return std::vector<net::FakeNetwork::Delivery>{};
        });
    const std::string plan = FixedRow(1, "10.0.0.11") + FixedRow(2, "10.0.0.12") +
                             FixedRow(3, "10.0.0.13") + FixedRow(4, "10.0.0.14");
    EXPECT_EQ(Apply(plan), 1);
    EXPECT_EQ(out_.str(),
              "MAC           Planned          Outcome  Address Now\n"
              "000A1B100001  fixed 10.0.0.11  changed  10.0.0.11\n"
              "000A1B100002  fixed 10.0.0.12  changed  10.0.0.12\n"
              "000A1B100003  fixed 10.0.0.13  skipped  192.168.0.254\n"
              "000A1B100004  fixed 10.0.0.14  skipped  192.168.0.254\n");
    EXPECT_NE(err_.str().find("apctl: stopped; 2 rows skipped\n"), std::string::npos);
    EXPECT_EQ(fleet[2]->CurrentAddress(), net::AddressFromText(kFactoryAddress));
    EXPECT_EQ(RequestsSince(0),
              (std::vector<std::string>{"set 000A1B100001", "reset 000A1B100001",
                                        "set 000A1B100002", "reset 000A1B100002"}));
    EXPECT_EQ(network_.openSockets(), 0);
}

// Without the first discovery no row can be known to be done already: nothing is sent.
TEST_F(ApplyTest, FailedFirstDiscoverySendsNoRow) {
    network_.AddAccessPoint(lan_, FactoryAccessPoint(1));
    network_.FailCall(net::FakeNetwork::Call::kSend, 1, ENETUNREACH);
    EXPECT_EQ(Apply(FixedRow(1, "10.0.0.11")), 1);
    EXPECT_EQ(RequestsSince(0), std::vector<std::string>{});
    EXPECT_NE(err_.str().find("discovery failed on 10.0.0.200 (lan0): sending the request"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(out_.str(),
              "MAC           Planned          Outcome  Address Now\n"
              "000A1B100001  fixed 10.0.0.11  skipped  -\n");
}

// Twelve answer each request at once into a socket that holds four: the first discovery and the
// row's verification both say what they lost.
TEST_F(ApplyTest, RepliesTheKernelDroppedAreTold) {
    for (int n = 1; n <= 12; ++n) {
        network_.AddAccessPoint(lan_, FactoryAccessPoint(n));
    }
    network_.SetReceiveQueueLimit(4);
    EXPECT_EQ(Apply(FixedRow(1, "10.0.0.11")), 0);
    const std::string warning =
        " replies dropped by the kernel (receive buffer full); raise net.core.rmem_max, see "
        "README, Troubleshooting";
    const std::vector<std::string> lines = Lines(err_.str());
    ASSERT_GE(lines.size(), 4u) << err_.str();
    EXPECT_EQ(lines[0], "discovery ... 4 access points answer");
    EXPECT_EQ(lines[1], "apctl: warning: lan0: 24" + warning);
    EXPECT_EQ(lines[2].rfind("[1/1] 000A1B100001 fixed 10.0.0.11 ... answers at 10.0.0.11", 0), 0u)
        << lines[2];
    EXPECT_EQ(lines[3].rfind("apctl: warning: lan0: ", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find(warning), std::string::npos) << lines[3];
}

// A check predicts from the one discovery, by the rule apply itself uses, and sends nothing else.
TEST_F(ApplyTest, CheckPredictsEachRowAndSendsOnlyTheDiscovery) {
    struct Case {
        std::string row;
        const char* answersAt;  // null: not in the fleet
        const char* outcome;
        const char* message;
    };
    const Case cases[] = {
        {FixedRow(1, "10.0.0.11"), kFactoryAddress, "would change",
         "answers at 192.168.0.254, not at 10.0.0.11"},
        {FixedRow(2, "010.0.0.012"), "10.0.0.12", "unchanged", "already answers at 10.0.0.12"},
        {MacText(3) + ",dhcp,,,,\n", "10.0.0.13", "would change",
         "answers at 10.0.0.13; a DHCP row is always sent"},
        {FixedRow(4, "10.0.0.14"), nullptr, "not seen", "not seen in the discovery"},
    };
    std::string plan;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        plan += cases[i].row;
        if (cases[i].answersAt != nullptr) {
            auto settings = FactoryAccessPoint(static_cast<int>(i) + 1);
            settings.address = net::AddressFromText(cases[i].answersAt);
            network_.AddAccessPoint(lan_, settings);
        }
    }
    EXPECT_EQ(Apply(plan, {"--check", "--json"}), 0) << err_.str();
    EXPECT_EQ(RequestsSince(0), std::vector<std::string>{});
    for (const auto& sent : network_.sent()) {
        EXPECT_EQ(sim::DecodeRequest(sent.bytes.data(), sent.bytes.size()).kind,
                  sim::RequestKind::kDiscovery);
    }
    const std::vector<std::string> rows = Lines(out_.str());
    ASSERT_EQ(rows.size(), std::size(cases) + 2) << out_.str();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string address =
            c.answersAt == nullptr ? "null" : std::string("\"") + c.answersAt + "\"";
        EXPECT_NE(rows[i + 1].find(std::string("\"outcome\": \"") + c.outcome +
                                   "\", \"address\": " + address +
                                   ", \"seconds\": null, \"message\": \"" + c.message + "\"}"),
                  std::string::npos)
            << rows[i + 1];
    }
    EXPECT_EQ(Lines(err_.str()).back(), "4 rows: 2 would change, 1 unchanged, 1 not seen");

    // The text form says the same, row by row as apply does.
    EXPECT_EQ(Apply(plan, {"--check"}), 0) << err_.str();
    EXPECT_EQ(Lines(err_.str())[1],
              "[1/4] 000A1B100001 fixed 10.0.0.11 ... would change: answers at 192.168.0.254, not "
              "at 10.0.0.11");
    EXPECT_EQ(Lines(out_.str()).back(), "000A1B100004  fixed 10.0.0.14  not seen      -");
    EXPECT_EQ(RequestsSince(0), std::vector<std::string>{});
    EXPECT_EQ(network_.openSockets(), 0);
}

TEST_F(ApplyTest, CheckFailsOnlyWhenItsDiscoveryFails) {
    network_.AddAccessPoint(lan_, FactoryAccessPoint(1));
    network_.FailCall(net::FakeNetwork::Call::kSend, 1, ENETUNREACH);
    EXPECT_EQ(Apply(FixedRow(1, "10.0.0.11"), {"--check"}), 1);
    EXPECT_NE(out_.str().find("skipped"), std::string::npos) << out_.str();
}

TEST_F(ApplyTest, PlanErrorsThroughTheCommandLineSendNothing) {
    char path[] = "/tmp/apctl-plan-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream file(path);
        file << kHeader << FixedRow(1, "10.0.0.11") << MacText(2) << ",fixed,10.0.0.12,255.255.0,"
             << "10.0.0.1,10.0.0.1\n";
    }
    network_.AddAccessPoint(lan_, FactoryAccessPoint(1));
    std::ostringstream out, err;
    EXPECT_EQ(apctl::Run({"apply", path}, out, err), 2);
    EXPECT_EQ(err.str(), std::string(path) + ":3: mask: not a dotted address: 255.255.0\n" +
                             "apctl: 1 error in the plan; nothing was sent\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(network_.socketsOpened(), 0);

    {
        std::ofstream file(path);
        file << kHeader << FixedRow(1, "10.0.0.11");
    }
    EXPECT_EQ(apctl::Run({"apply", path, "--dry-run"}, out, err), 0);
    EXPECT_NE(out.str().find("000A1B100001  fixed  10.0.0.11"), std::string::npos) << out.str();
    EXPECT_EQ(network_.socketsOpened(), 0);
    std::remove(path);
}

}  // namespace
