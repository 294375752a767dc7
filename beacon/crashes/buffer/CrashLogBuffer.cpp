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
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace beacon {

namespace {

// The table the crash callback writes: plain bytes in static storage, so
// that nothing is allocated, looked up or read from a std::string while the
// process is stopped in the crash handler. `state` publishes the bytes: a
// writer marks the slot Changing before it copies and Ready (or Free) after,
// and the callback skips a slot that is changing; `generation` tells the
// callback that a slot changed while it was writing it out.
enum SlotState : int { Free = 0, Changing = 1, Ready = 2 };

struct CrashSlot {
    std::atomic<bool> hasPaths{false};
    char bufferPath[PATH_MAX] = {};
    char tokenPath[PATH_MAX] = {};
    std::atomic<int> state{Free};
    std::atomic<unsigned> generation{0};
    std::size_t logSize = 0;
    std::size_t tokenSize = 0;
    std::uint8_t log[CrashLogBuffer::kMaxLogSize] = {};
    char token[CrashLogBuffer::kMaxTokenSize] = {};
};

// What only place() and release() use, under the mutex.
struct SlotBook {
    std::string internalId;
    double time = 0;
};

CrashSlot gCrashSlots[CrashLogBuffer::kSlotCount];
std::array<SlotBook, CrashLogBuffer::kSlotCount> gBook;
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

void copyPath(char* out, const std::string& path) {
    const std::size_t length = std::min(path.size(), static_cast<std::size_t>(PATH_MAX - 1));
    std::memcpy(out, path.data(), length);
    out[length] = '\0';
}

// Called under the mutex. An empty log frees the slot.
void fill(std::size_t index, const FileData& log, const std::string& token, const std::string& internalId,
          double time) {
    CrashSlot& slot = gCrashSlots[index];
    slot.state.store(Changing);
    slot.generation.fetch_add(1);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    slot.logSize = log.size();
    if (!log.empty()) std::memcpy(slot.log, log.data(), log.size());
    slot.tokenSize = token.size();
    if (!token.empty()) std::memcpy(slot.token, token.data(), token.size());
    gBook[index] = {internalId, time};
    slot.state.store(log.empty() ? Free : Ready, std::memory_order_release);
}

FileData logOf(std::size_t index) {
    const CrashSlot& slot = gCrashSlots[index];
    if (slot.state.load() != Ready) return {};
    return FileData(slot.log, slot.log + slot.logSize);
}

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
        CrashSlot& slot = gCrashSlots[i];
        slot.hasPaths.store(false);
        fill(i, {}, {}, {}, 0);
        const std::string bufferPath = path ? path->string() : std::string();
        copyPath(slot.bufferPath, bufferPath);
        copyPath(slot.tokenPath, tokenPathFor(bufferPath));
        slot.hasPaths.store(path.has_value(), std::memory_order_release);
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
    if (bytes->size() > kMaxLogSize || token.size() > kMaxTokenSize) {
        BEACON_CRASHES_LOG_WARNING("A log of ", bytes->size(), " bytes is too large for the Crashes Buffer.");
        return;
    }
    BEACON_CRASHES_LOG_VERBOSE("Storing a log to Crashes Buffer: (sid: ", log.sid.value_or(""),
                               ", type: ", logTypeOf(log), ")");

    std::size_t oldest = 0;
    double oldestTime = 0;
    bool haveOldest = false;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (gCrashSlots[i].state.load() == Free) {
            fill(i, *bytes, token, internalId, clock_());
            BEACON_CRASHES_LOG_VERBOSE("Found an empty buffer position.");
            return;
        }
        if (!haveOldest || gBook[i].time < oldestTime) {
            haveOldest = true;
            oldest = i;
            oldestTime = gBook[i].time;
            BEACON_CRASHES_LOG_VERBOSE("Remembering index ", i, " for oldest timestamp ", std::to_string(oldestTime),
                                       ".");
        }
    }
    BEACON_CRASHES_LOG_VERBOSE("Reached end of buffer. Next step is overwriting the oldest one.");
    fill(oldest, *bytes, token, internalId, clock_());
    BEACON_CRASHES_LOG_VERBOSE("Overwrote buffered log at index ", oldest, ".");
}

void CrashLogBuffer::release(const std::string& internalId) {
    if (internalId.empty()) return;
    std::lock_guard lock(gSlotsMutex);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (gBook[i].internalId.empty() || gBook[i].internalId != internalId) continue;
        BEACON_CRASHES_LOG_VERBOSE("Deleting a log from buffer with id ", internalId);
        std::shared_ptr<AbstractLog> log;
        if (gWrittenAfterCrash) log = ArchiverUtil::unarchive<AbstractLog>(logOf(i));
        fill(i, {}, {}, {}, 0);
        if (gWrittenAfterCrash) {
            const std::string bufferPath = gCrashSlots[i].bufferPath;
            deleteFileAtURL(bufferPath);
            BEACON_CRASHES_LOG_DEBUG("Deleted a log from Crashes Buffer (sid: ", log ? log->sid.value_or("") : "",
                                     ", type: ", log ? logTypeOf(*log) : "", ")");
            BEACON_CRASHES_LOG_DEBUG("Deleted crash buffer file: ", bufferPath, ".");
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
    for (const CrashSlot& slot : gCrashSlots) {
        if (!slot.hasPaths.load(std::memory_order_acquire)) continue;
        const unsigned generation = slot.generation.load(std::memory_order_acquire);
        const int state = slot.state.load(std::memory_order_acquire);
        if (state == Changing) continue; // a thread that was not stopped is copying a log in
        const std::size_t logSize = state == Ready ? slot.logSize : 0;
        const std::size_t tokenSize = state == Ready ? slot.tokenSize : 0;
        writeWhole(slot.bufferPath, slot.log, logSize);
        if (tokenSize > 0) writeWhole(slot.tokenPath, slot.token, tokenSize);
        // Changed while it was written out: an empty file beats a torn log.
        if (slot.generation.load(std::memory_order_acquire) != generation) writeWhole(slot.bufferPath, slot.log, 0);
    }
}

bool CrashLogBuffer::wasWrittenAfterCrash() { return gWrittenAfterCrash.load(); }

CrashLogBuffer::Slot CrashLogBuffer::slot(std::size_t index) {
    std::lock_guard lock(gSlotsMutex);
    if (index >= kSlotCount) throw std::out_of_range("no such crash log buffer slot");
    const CrashSlot& slot = gCrashSlots[index];
    Slot copy;
    copy.bufferPath = slot.bufferPath;
    copy.tokenPath = slot.tokenPath;
    copy.log = logOf(index);
    if (!copy.log.empty()) copy.token.assign(slot.token, slot.tokenSize);
    copy.internalId = gBook[index].internalId;
    copy.time = gBook[index].time;
    return copy;
}

} // namespace beacon
