#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/UrlOpener.h"
#include "resources/StringTable.h"

namespace {

namespace fs = std::filesystem;

// A folder with a stand-in `xdg-open` put first on PATH, so the real opener never runs.
class StandInOpener : public ::testing::Test {
protected:
    StandInOpener() {
        folder_ = fs::temp_directory_path() / ("apm-opener-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        setenv("PATH", folder_.c_str(), 1);
    }
    ~StandInOpener() override {
        setenv("PATH", savedPath_.c_str(), 1);
        fs::remove_all(folder_);
    }

    void WriteOpener(const std::string& body, bool executable = true) {
        const fs::path script = folder_ / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        chmod(script.c_str(), executable ? 0755 : 0644);
    }

    fs::path folder_;
    std::string savedPath_;
};

TEST_F(StandInOpener, ExitStatusesMapToTheirMessages) {
    struct Case {
        int exitStatus;
        OpenUrlOutcome outcome;
        int message;
    };
    const Case cases[] = {
        {0, OpenUrlOutcome::kOpened, 0},
        {1, OpenUrlOutcome::kPathInvalid, IDS_SE_ERR_PNF},
        {2, OpenUrlOutcome::kFileNotFound, IDS_SE_ERR_FNF},
        {3, OpenUrlOutcome::kNoAssociation, IDS_SE_ERR_NOASSOC},
        {4, OpenUrlOutcome::kAssociationIncomplete, IDS_SE_ERR_ASSOCINCOMPLETE},
        {9, OpenUrlOutcome::kUnknownFailure, 0},
    };
    XdgOpenUrlOpener opener;
    for (const Case& c : cases) {
        WriteOpener("exit " + std::to_string(c.exitStatus));
        const OpenUrlOutcome outcome = opener.Open("http://10.0.0.5");
        EXPECT_EQ(outcome, c.outcome) << "exit " << c.exitStatus;
        EXPECT_EQ(MessageIdForOutcome(outcome), c.message) << "exit " << c.exitStatus;
    }
}

TEST_F(StandInOpener, TheUrlArrivesAsOneArgumentUntouchedByAShell) {
    const fs::path seen = folder_ / "seen";
    WriteOpener("printf '%s|%s' \"$#\" \"$1\" > '" + seen.string() + "'");
    XdgOpenUrlOpener opener;
    EXPECT_EQ(opener.Open("http://10.0.0.5;touch pwned $(id)"), OpenUrlOutcome::kOpened);
    std::ifstream in(seen);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "1|http://10.0.0.5;touch pwned $(id)");
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(StandInOpener, MissingOrForbiddenOpener) {
    XdgOpenUrlOpener opener;
    EXPECT_EQ(opener.Open("http://10.0.0.5"), OpenUrlOutcome::kNoAssociation);
    WriteOpener("exit 0", /*executable=*/false);
    EXPECT_EQ(opener.Open("http://10.0.0.5"), OpenUrlOutcome::kAccessDenied);
    EXPECT_EQ(MessageIdForOutcome(OpenUrlOutcome::kAccessDenied), IDS_SE_ERR_ACCESSDENIED);
    EXPECT_EQ(MessageIdForOutcome(OpenUrlOutcome::kOutOfMemory), IDS_SE_ERR_OOM);
}

TEST_F(StandInOpener, AnOpenerThatKeepsRunningCountsAsOpened) {
    WriteOpener("exec /bin/sleep 2");
    XdgOpenUrlOpener opener(std::chrono::milliseconds(100));
    EXPECT_EQ(opener.Open("http://10.0.0.5"), OpenUrlOutcome::kOpened);
}

TEST(WebManagementUrl, IsTheSchemeAndTheAddressOnly) {
    EXPECT_EQ(WebManagementUrl("192.168.1.20"), "http://192.168.1.20");
    EXPECT_EQ(WebManagementUrl(""), "http://");
}

TEST(UrlOpenerSeam, NothingIsInstalledByDefault) {
    EXPECT_EQ(ActiveUrlOpener(), nullptr);
}

}  // namespace
