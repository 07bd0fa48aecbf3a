// watch --textfile on the fake network's virtual time: the metrics file after each discovery,
// written whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "net/FakeNetwork.h"
#include "tests/apctl/NumberedAccessPoint.h"
#include "tests/apctl/WatchDriver.h"
#include "tools/apctl/Watch.h"

namespace {

namespace fs = std::filesystem;

using apctl_test::Numbered;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class WatchTextfileTest : public ::testing::Test {
protected:
    WatchTextfileTest() : installed_(&network_) {
        lan0_ = network_.AddInterface("lan0", "10.0.0.200");
        std::string dir = (fs::temp_directory_path() / "apctl-textfile-XXXXXX").string();
        EXPECT_NE(mkdtemp(dir.data()), nullptr);
        dir_ = dir;
    }
    ~WatchTextfileTest() override { fs::remove_all(dir_); }

    // An access point the test takes away between discoveries by clearing its flag.
    bool* Add(int lan, const sim::AccessPointSettings& settings) {
        present_.push_back(std::make_unique<bool>(true));
        bool* present = present_.back().get();
        auto model = std::make_shared<sim::AccessPoint>(settings);
        network_.AddResponder(lan, [present, model](const net::FakeNetwork::SentDatagram& request,
                                                    std::int64_t nowMs) {
            std::vector<net::FakeNetwork::Delivery> deliveries;
            if (*present && request.port == sim::kPort) {
                for (sim::Reply& reply :
                     model->HandleDatagram(request.bytes.data(), request.bytes.size(), nowMs)) {
                    deliveries.push_back({reply.delayMs, reply.source, std::move(reply.bytes)});
                }
            }
            return deliveries;
        });
        return present;
    }

    int Watch(const std::string& path, std::function<void(int)> between,
              std::vector<std::string> more = {}) {
        more.insert(more.begin(), {"--textfile", path});
        return apctl_test::RunWatch(more, network_, stop_, out_, err_, std::move(between));
    }

    // The folder's entries but the file itself: a temporary file left behind shows here.
    std::vector<std::string> Others(const fs::path& file) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path() != file) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    net::FakeNetwork network_;
    net::ScopedSocketLayer installed_;
    int lan0_ = 0;
    fs::path dir_;
    std::vector<std::unique_ptr<bool>> present_;
    std::atomic<bool> stop_{false};
    std::ostringstream out_, err_;
};

// The second discovery's file, against a golden one: names with quotes, a backslash, Latin-1 and
// control characters; an access point that missed one discovery at 0; a network whose access
// point answers with a status that is not taken. After the third it is gone from the file.
TEST_F(WatchTextfileTest, MetricsFileAfterEachDiscovery) {
    auto hostile = Numbered(1, "Caf\xE9 \"B\\2\"", "10.0.0.11");
    hostile.ssidBg = "line\nbreak";
    hostile.ssidA = "cr\rnel\x85tab\t";
    hostile.channelA = 36;
    hostile.wirelessMode = 7;
    Add(lan0_, hostile);
    bool* lobby = Add(lan0_, Numbered(2, "Lobby", "10.0.0.12"));
    const int lan1 = network_.AddInterface("lan1", "10.0.1.200");
    auto refusing = Numbered(3, "Refuses", "10.0.1.13");
    refusing.status = 2;
    Add(lan1, refusing);
    const fs::path file = dir_ / "apmanager.prom";
    std::vector<std::string> files;
    EXPECT_EQ(Watch(file.string(),
                    [&](int round) {
                        files.push_back(ReadFile(file));
                        *lobby = false;
                        stop_.store(round == 3);
                    }),
              0);
    ASSERT_EQ(files.size(), 3u);
    const std::string golden = std::string(AP_GOLDEN_DIR) + "/watch_textfile.prom";
    if (std::getenv("AP_GOLDEN_WRITE") != nullptr) {
        std::ofstream(golden, std::ios::binary) << files[1];
    }
    EXPECT_EQ(files[1], ReadFile(golden));
    // Gone, it stays at 0 until --forget has passed.
    EXPECT_NE(files[2].find("apmanager_access_point_gone{mac=\"000A1B100002\"} 1\n"),
              std::string::npos)
        << files[2];
    EXPECT_NE(files[2].find("apmanager_discoveries_total 3\n"), std::string::npos) << files[2];
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    EXPECT_EQ(Others(file), std::vector<std::string>{});
    EXPECT_EQ(err_.str(), "");
}

// A write that fails (the path is a folder, so the rename cannot replace it) is said once per
// discovery, leaves no temporary file, and the watch goes on: the next discovery writes.
TEST_F(WatchTextfileTest, FailedWriteIsToldAndRetried) {
    Add(lan0_, Numbered(1, "Lobby", "10.0.0.11"));
    const fs::path file = dir_ / "apmanager.prom";
    fs::create_directory(file);
    std::vector<std::int64_t> ends;
    std::vector<std::string> left;
    EXPECT_EQ(Watch(file.string(),
                    [&](int round) {
                        ends.push_back(network_.NowMs());
                        left = Others(file);
                        if (round == 2) {
                            fs::remove(file);
                        }
                        stop_.store(round == 3);
                    }),
              0);
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(left, std::vector<std::string>{});
    std::string said;
    for (int round : {0, 1}) {
        said += apctl_test::At(ends[round]) + " apctl: warning: cannot write " + file.string() +
                ": renaming the temporary file over it: Is a directory\n";
    }
    EXPECT_EQ(err_.str(), said);
    EXPECT_NE(ReadFile(file).find("apmanager_discoveries_total 3\n"), std::string::npos);
    EXPECT_NE(out_.str().find("+ 000A1B100001"), std::string::npos) << out_.str();
}

// A discovery that failed is written too: the network says so, and nobody is taken as absent.
TEST_F(WatchTextfileTest, FailedDiscoveryIsWrittenAndCountsAsNoAbsence) {
    Add(lan0_, Numbered(1, "Lobby", "10.0.0.11"));
    // Sends 1 to 3 are the first discovery's; the second one fails at its first.
    network_.FailCall(net::FakeNetwork::Call::kSend, 4, ENETUNREACH);
    const fs::path file = dir_ / "apmanager.prom";
    std::string second;
    EXPECT_EQ(Watch(file.string(),
                    [&](int round) {
                        second = ReadFile(file);
                        stop_.store(round == 2);
                    }),
              0);
    for (const char* line :
         {"apmanager_network_up{local_address=\"10.0.0.200\",interface=\"lan0\"} 0\n",
          "apmanager_access_point_up{mac=\"000A1B100001\"} 0\n",
          "apmanager_access_point_gone{mac=\"000A1B100001\"} 0\n",
          "apmanager_discoveries_total 2\n"}) {
        EXPECT_NE(second.find(line), std::string::npos) << line << second;
    }
}

// A gone access point leaves the file once --forget has passed since it was reported gone, not
// before: the retention is counted on the watch's clock, from the report.
TEST_F(WatchTextfileTest, GoneAccessPointLeavesAfterForget) {
    bool* lobby = Add(lan0_, Numbered(1, "Lobby", "10.0.0.11"));
    const fs::path file = dir_ / "apmanager.prom";
    std::vector<std::pair<std::int64_t, bool>> listed;  // (virtual ms, in the file)
    EXPECT_EQ(Watch(file.string(),
                    [&](int round) {
                        listed.emplace_back(network_.NowMs(), ReadFile(file).find("000A1B100001") !=
                                                                  std::string::npos);
                        *lobby = false;
                        stop_.store(round == 8);
                    },
                    {"--forget", "30"}),
              0);
    // Gone at discovery 3; each discovery then takes 4 s of silence plus the 10 s interval.
    ASSERT_EQ(listed.size(), 8u);
    const std::int64_t goneAt = listed[2].first;
    for (const auto& [at, present] : listed) {
        EXPECT_EQ(present, at - goneAt < 30000) << "at " << at - goneAt << " ms after gone";
    }
    EXPECT_FALSE(listed.back().second);
}

// A folder that is not there is a usage error before anything is sent.
TEST_F(WatchTextfileTest, MissingFolderIsAUsageError) {
    Add(lan0_, Numbered(1, "Lobby", "10.0.0.11"));
    const fs::path file = dir_ / "nowhere" / "apmanager.prom";
    apctl::Command command;
    std::string error;
    ASSERT_TRUE(apctl::ParseCommandLine({"watch", "--textfile", file.string()}, &command, &error));
    EXPECT_EQ(apctl::Watch(command, fleet::Session{{}, false, false, &stop_}, out_, err_), 2);
    EXPECT_EQ(err_.str(),
              "apctl: --textfile: no such folder: " + (dir_ / "nowhere").string() + "\n");
    EXPECT_TRUE(network_.sent().empty());
}

}  // namespace
