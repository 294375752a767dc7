#include "beacon/crashes/buffer/CrashLogBuffer.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"
#include "platform/headless/ManualScheduler.h"

#include "../../util/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace beacon {
namespace {

namespace fs = std::filesystem;

class CrashLogBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ArchiverUtil::addAllowedBeaconModuleClasses();
        KeychainUtil::setStore(std::make_shared<InMemoryKeychainStore>());
        setBeaconDirectoryURL(dir.path);
    }
    void TearDown() override {
        setBeaconDirectoryURL({});
        KeychainUtil::setStore(nullptr);
    }

    std::unique_ptr<CrashLogBuffer> makeBuffer() {
        auto buffer =
            std::make_unique<CrashLogBuffer>(encrypter, scheduler.globalQueue(), nullptr, [this] { return now; });
        scheduler.runUntilIdle();
        return buffer;
    }
    fs::path bufferFile(int i) { return dir.path / "crasheslogbuffer" / (std::to_string(i) + ".bcncrasheslogbuffer"); }
    fs::path tokenFile(int i) { return dir.path / "crasheslogbuffer" / (std::to_string(i) + ".targettoken"); }
    std::shared_ptr<LogWithProperties> log(int i) {
        auto made = test::makeLog(i);
        made->sid = "session-" + std::to_string(i);
        return made;
    }
    std::vector<std::shared_ptr<AbstractLog>> resend(CrashLogBuffer& buffer) {
        std::vector<std::shared_ptr<AbstractLog>> sent;
        buffer.processLogBufferAfterCrash([&](std::shared_ptr<AbstractLog> log) { sent.push_back(std::move(log)); });
        return sent;
    }

    TempDir dir;
    platform::ManualScheduler scheduler;
    std::shared_ptr<Encrypter> encrypter =
        std::make_shared<Encrypter>(std::make_shared<BeaconUserDefaults>(std::make_shared<platform::UserDefaults>()),
                                    [] { return *dateFromISO8601("2026-03-01T10:00:00.000Z"); });
    double now = 1000;
};

TEST_F(CrashLogBufferTest, SetUpCreatesSixtyEmptyFilesAndKeepsOnesACrashWrote) {
    fs::create_directories(dir.path / "crasheslogbuffer");
    std::ofstream(bufferFile(7)) << "left by a crash";
    makeBuffer();
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(fs::exists(bufferFile(i))) << i;
        EXPECT_EQ(fs::file_size(bufferFile(i)), i == 7 ? 15u : 0u) << i;
        EXPECT_FALSE(fs::exists(tokenFile(i)));
    }
    EXPECT_FALSE(fs::exists(bufferFile(60)));
}

TEST_F(CrashLogBufferTest, TheSixtyFirstLogOverwritesTheOldestSlot) {
    struct Case {
        const char* name;
        bool equalTimes;
        std::size_t overwritten;
    };
    for (const Case& c : {Case{"increasing times", false, 0}, Case{"equal times: lowest index", true, 0},
                          Case{"oldest in the middle", false, 17}}) {
        SCOPED_TRACE(c.name);
        auto buffer = makeBuffer();
        for (int i = 0; i < 60; ++i) {
            now = c.equalTimes ? 5.0 : 100.0 + i;
            if (c.overwritten == 17 && i == 17) now = 1.0;
            buffer->place(*log(i), "id-" + std::to_string(i));
        }
        for (std::size_t i = 0; i < 60; ++i) ASSERT_FALSE(CrashLogBuffer::slot(i).log.empty());
        now = 500;
        buffer->place(*log(60), "id-60");
        EXPECT_EQ(CrashLogBuffer::slot(c.overwritten).internalId, "id-60");
        EXPECT_EQ(CrashLogBuffer::slot(c.overwritten).time, 500);
        const std::size_t other = c.overwritten == 0 ? 1 : 0;
        EXPECT_EQ(CrashLogBuffer::slot(other).internalId, "id-" + std::to_string(other));
    }
}

TEST_F(CrashLogBufferTest, ReleaseFreesOnlyTheSlotOfThatIdAndTheSlotIsReused) {
    auto buffer = makeBuffer();
    for (int i = 0; i < 3; ++i) buffer->place(*log(i), "id-" + std::to_string(i));
    buffer->release("id-1");
    buffer->release("unknown");
    EXPECT_TRUE(CrashLogBuffer::slot(1).log.empty());
    EXPECT_EQ(CrashLogBuffer::slot(1).time, 0);
    EXPECT_TRUE(CrashLogBuffer::slot(1).internalId.empty());
    EXPECT_EQ(CrashLogBuffer::slot(0).internalId, "id-0");
    EXPECT_EQ(CrashLogBuffer::slot(2).internalId, "id-2");
    buffer->place(*log(3), "id-3");
    EXPECT_EQ(CrashLogBuffer::slot(1).internalId, "id-3");
}

TEST_F(CrashLogBufferTest, ErrorAndAttachmentLogsAreNeverBuffered) {
    auto buffer = makeBuffer();
    AppleErrorLog errorLog;
    ErrorAttachmentLog attachment;
    buffer->place(errorLog, "error");
    buffer->place(attachment, "attachment");
    for (std::size_t i = 0; i < 60; ++i) EXPECT_TRUE(CrashLogBuffer::slot(i).log.empty());
}

TEST_F(CrashLogBufferTest, CrashCallbackWritesSlotsAndTheNextStartResendsThemOnce) {
    {
        auto buffer = makeBuffer();
        auto withToken = log(0);
        withToken->addTransmissionTargetToken("target-token-1");
        buffer->place(*withToken, "id-0");
        buffer->place(*log(1), "id-1");
        buffer->place(*log(2), "id-2");
        buffer->place(*log(3), "id-3");
        buffer->release("id-2"); // released before the crash: not saved
        std::ofstream(bufferFile(40)) << "stale";

        EXPECT_FALSE(CrashLogBuffer::wasWrittenAfterCrash());
        CrashLogBuffer::writeAfterCrash();
        EXPECT_TRUE(CrashLogBuffer::wasWrittenAfterCrash());
    }
    EXPECT_GT(fs::file_size(bufferFile(0)), 0u);
    EXPECT_EQ(fs::file_size(bufferFile(2)), 0u);
    EXPECT_EQ(fs::file_size(bufferFile(40)), 0u);
    ASSERT_TRUE(fs::exists(tokenFile(0)));
    EXPECT_FALSE(fs::exists(tokenFile(1)));
    std::ifstream tokenIn(tokenFile(0));
    const std::string storedToken((std::istreambuf_iterator<char>(tokenIn)), {});
    EXPECT_EQ(storedToken.find("target-token-1"), std::string::npos) << "the token is stored encrypted";

    auto next = makeBuffer();
    auto sent = resend(*next);
    ASSERT_EQ(sent.size(), 3u);
    std::map<std::string, std::set<std::string>> tokensBySession;
    for (const auto& log : sent) tokensBySession[log->sid.value_or("")] = log->transmissionTargetTokens();
    EXPECT_EQ(tokensBySession, (std::map<std::string, std::set<std::string>>{
                                   {"session-0", {"target-token-1"}}, {"session-1", {}}, {"session-3", {}}}));
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(fs::file_size(bufferFile(i)), 0u) << i;
        EXPECT_FALSE(fs::exists(tokenFile(i))) << i;
    }
    EXPECT_TRUE(resend(*next).empty());
}

TEST_F(CrashLogBufferTest, UnreadableFilesAreEmptiedAndBadTokensDropped) {
    auto buffer = makeBuffer();
    std::ofstream(bufferFile(3)) << "not an archive";
    const auto bytes = *ArchiverUtil::archiveKeyedData(*log(4));
    std::ofstream(bufferFile(4), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::ofstream(tokenFile(4)) << "not encrypted";

    auto sent = resend(*buffer);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0]->transmissionTargetTokens().empty());
    EXPECT_EQ(fs::file_size(bufferFile(3)), 0u);
    EXPECT_EQ(fs::file_size(bufferFile(4)), 0u);
    EXPECT_FALSE(fs::exists(tokenFile(4)));
}

} // namespace
} // namespace beacon
