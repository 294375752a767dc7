#include "beacon/crashes/buffer/CrashLogBuffer.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/FileUtility.h"
#include "platform/Scheduler.h"

#include <array>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace beacon {

namespace {

// The table the crash callback writes. Static so that nothing needs to be
// allocated or looked up while the process is stopped in the crash handler.
std::array<CrashLogBuffer::Slot, CrashLogBuffer::kSlotCount> gSlots;
std::recursive_mutex gSlotsMutex;
std::atomic<bool> gWrittenAfterCrash{false};

std::string bufferComponent(std::size_t index) {
    return std::string(CrashLogBuffer::kDirectory) + "/" + std::to_string(index) + "." +
           CrashLogBuffer::kBufferExtension;
}

std::string tokenPathFor(std::string bufferPath) {
    const std::string from = CrashLogBuffer::kBufferExtension;
    const auto at = bufferPath.rfind(from);
    if (at != std::string::npos) bufferPath.replace(at, from.size(), CrashLogBuffer::kTokenExtension);
    return bufferPath;
}

double systemNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string logTypeOf(const AbstractLog& log) { return log.type.value_or(""); }

void writeWhole(const char* path, const void* bytes, std::size_t size) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written <= 0) break;
        at += written;
        size -= static_cast<std::size_t>(written);
    }
    ::close(fd);
}

std::optional<FileData> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return FileData(std::istreambuf_iterator<char>(in), {});
}

} // namespace

CrashLogBuffer::CrashLogBuffer(std::shared_ptr<Encrypter> tokenEncrypter, platform::Queue& fileQueue,
                               std::function<void()> done, Clock clock)
    : tokenEncrypter_(std::move(tokenEncrypter)), clock_(clock ? std::move(clock) : Clock(systemNow)) {
    std::lock_guard lock(gSlotsMutex);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        const auto component = bufferComponent(i);
        const auto path = fullURLForPathComponent(component);
        Slot& slot = gSlots[i];
        slot = Slot{};
        slot.bufferPath = path ? path->string() : std::string();
        slot.tokenPath = tokenPathFor(slot.bufferPath);
    }
    fileQueue.async([done = std::move(done)] {
        for (std::size_t i = 0; i < kSlotCount; ++i)
            createFileAtPathComponent(bufferComponent(i), std::nullopt, false, false);
        if (done) done();
    });
}

void CrashLogBuffer::place(const AbstractLog& log, const std::string& internalId) {
    if (dynamic_cast<const AppleErrorLog*>(&log) || dynamic_cast<const ErrorAttachmentLog*>(&log)) return;
    std::lock_guard lock(gSlotsMutex);
    auto bytes = ArchiverUtil::archiveKeyedData(log);
    if (!bytes || bytes->empty()) return;
    std::string token;
    const auto tokens = log.transmissionTargetTokens();
    if (!tokens.empty() && tokenEncrypter_) token = tokenEncrypter_->encryptString(*tokens.begin()).value_or("");
    BEACON_CRASHES_LOG_VERBOSE("Storing a log to Crashes Buffer: (sid: ", log.sid.value_or(""),
                               ", type: ", logTypeOf(log), ")");

    std::size_t oldest = 0;
    double oldestTime = 0;
    bool haveOldest = false;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        Slot& slot = gSlots[i];
        if (slot.log.empty()) {
            slot.log = std::move(*bytes);
            slot.token = std::move(token);
            slot.internalId = internalId;
            slot.time = clock_();
            BEACON_CRASHES_LOG_VERBOSE("Found an empty buffer position.");
            return;
        }
        if (!haveOldest || slot.time < oldestTime) {
            haveOldest = true;
            oldest = i;
            oldestTime = slot.time;
            BEACON_CRASHES_LOG_VERBOSE("Remembering index ", i, " for oldest timestamp ", std::to_string(slot.time),
                                       ".");
        }
    }
    BEACON_CRASHES_LOG_VERBOSE("Reached end of buffer. Next step is overwriting the oldest one.");
    Slot& slot = gSlots[oldest];
    slot.log = std::move(*bytes);
    slot.token = std::move(token);
    slot.internalId = internalId;
    slot.time = clock_();
    BEACON_CRASHES_LOG_VERBOSE("Overwrote buffered log at index ", oldest, ".");
}

void CrashLogBuffer::release(const std::string& internalId) {
    if (internalId.empty()) return;
    std::lock_guard lock(gSlotsMutex);
    for (auto& slot : gSlots) {
        if (slot.internalId.empty() || slot.internalId != internalId) continue;
        BEACON_CRASHES_LOG_VERBOSE("Deleting a log from buffer with id ", internalId);
        std::shared_ptr<AbstractLog> log;
        if (gWrittenAfterCrash) log = ArchiverUtil::unarchive<AbstractLog>(slot.log);
        slot.log.clear();
        slot.token.clear();
        slot.time = 0;
        slot.internalId.clear();
        if (gWrittenAfterCrash) {
            deleteFileAtURL(slot.bufferPath);
            BEACON_CRASHES_LOG_DEBUG("Deleted a log from Crashes Buffer (sid: ", log ? log->sid.value_or("") : "",
                                     ", type: ", log ? logTypeOf(*log) : "", ")");
            BEACON_CRASHES_LOG_DEBUG("Deleted crash buffer file: ", slot.bufferPath, ".");
        }
    }
}

void CrashLogBuffer::processLogBufferAfterCrash(const Enqueue& enqueue) {
    const auto files = contentsOfDirectory(kDirectory);
    if (!files) return;
    for (const auto& file : *files) {
        if (file.extension() != std::string(".") + kBufferExtension) continue;
        const auto bytes = readFile(file);
        if (bytes && !bytes->empty()) {
            auto log = ArchiverUtil::unarchive<AbstractLog>(*bytes);
            if (!log) {
                BEACON_CRASHES_LOG_ERROR("The log deserialized to NULL.");
            } else {
                const auto tokenFile = std::filesystem::path(file).replace_extension(kTokenExtension);
                if (const auto tokenBytes = readFile(tokenFile)) {
                    const std::string encrypted(tokenBytes->begin(), tokenBytes->end());
                    const auto token = tokenEncrypter_ ? tokenEncrypter_->decryptString(encrypted) : std::nullopt;
                    if (token) log->addTransmissionTargetToken(*token);
                    else BEACON_CRASHES_LOG_ERROR("Failed to decrypt the target token.");
                    deleteFileAtURL(tokenFile);
                }
                BEACON_CRASHES_LOG_DEBUG("Re-enqueueing buffered log, type: ", logTypeOf(*log), ".");
                if (enqueue) enqueue(log);
            }
        }
        createFileAtPath(file, FileData{});
    }
}

void CrashLogBuffer::emptyLogBufferFiles() {
    const auto files = contentsOfDirectory(kDirectory);
    if (!files) {
        const auto directory = fullURLForPathComponent(kDirectory);
        BEACON_CRASHES_LOG_ERROR("Couldn't get files in the directory \"", directory ? directory->string() : "", "\"");
        return;
    }
    for (const auto& file : *files) {
        if (file.extension() != std::string(".") + kBufferExtension) continue;
        std::error_code error;
        if (std::filesystem::file_size(file, error) > 0 && !error) createFileAtPath(file, FileData{});
    }
}

void CrashLogBuffer::writeAfterCrash() {
    gWrittenAfterCrash.store(true, std::memory_order_relaxed);
    for (const Slot& slot : gSlots) {
        if (slot.bufferPath.empty()) continue;
        writeWhole(slot.bufferPath.c_str(), slot.log.data(), slot.log.size());
        if (!slot.token.empty()) writeWhole(slot.tokenPath.c_str(), slot.token.data(), slot.token.size());
    }
}

bool CrashLogBuffer::wasWrittenAfterCrash() { return gWrittenAfterCrash.load(); }

CrashLogBuffer::Slot CrashLogBuffer::slot(std::size_t index) {
    std::lock_guard lock(gSlotsMutex);
    return gSlots.at(index);
}

} // namespace beacon
