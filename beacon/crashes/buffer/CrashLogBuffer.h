#pragma once

#include "beacon/model/AbstractLog.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
class Queue;
}

namespace beacon {

class Encrypter;

// Keeps a serialized copy of every telemetry log between its preparation by a
// channel and the end of its enqueueing, so that a crash in that window does
// not lose it. The copies live in one static table of 60 slots of fixed
// storage (a log of up to kMaxLogSize bytes); the crash callback writes each
// slot to its own file in "crasheslogbuffer" with open/write/close only, and
// the next start re-sends what those files hold. A slot's bytes are published
// with an atomic state, so the callback never reads a half-copied log.
//
// Files, named by the decimal slot number: "<i>.bcncrasheslogbuffer" (the
// archived log, empty in normal operation) and "<i>.targettoken" (the log's
// encrypted transmission target token, written by the crash callback only).
class CrashLogBuffer {
public:
    static constexpr std::size_t kSlotCount = 60;
    static constexpr const char* kDirectory = "crasheslogbuffer";
    static constexpr const char* kBufferExtension = "bcncrasheslogbuffer";
    static constexpr const char* kTokenExtension = "targettoken";
    static constexpr std::size_t kMaxLogSize = 32 * 1024; // larger logs are not buffered
    static constexpr std::size_t kMaxTokenSize = 1024;

    // A copy of one slot.
    struct Slot {
        std::string bufferPath;
        std::vector<std::uint8_t> log; // empty: the slot is free
        std::string tokenPath;
        std::string token; // encrypted; empty when the log had none
        std::string internalId;
        double time = 0; // seconds since 1970; 0 when free
    };

    using Clock = std::function<double()>;
    using Enqueue = std::function<void(std::shared_ptr<AbstractLog>)>;

    // Fixes the slot paths under the telemetry storage folder, clears every
    // slot and has `fileQueue` create the 60 empty buffer files (an existing
    // file, such as one a crash wrote, is left alone). `done` (optional) runs
    // on that queue after the files exist.
    CrashLogBuffer(std::shared_ptr<Encrypter> tokenEncrypter, platform::Queue& fileQueue,
                   std::function<void()> done = {}, Clock clock = {});

    // Copies a prepared log into a free slot, or over the oldest one when all
    // are taken. Error and attachment logs are never buffered.
    void place(const AbstractLog& log, const std::string& internalId);
    // Frees every slot holding the log of this internal id.
    void release(const std::string& internalId);

    // Re-enqueues the logs the crash callback left in the buffer files (with
    // their decrypted tokens) and empties the files.
    void processLogBufferAfterCrash(const Enqueue& enqueue);
    // Truncates every non-empty buffer file.
    static void emptyLogBufferFiles();

    // The crash callback: writes every slot to its files. Only open, write
    // and close are called; nothing is allocated.
    static void writeAfterCrash();
    // Whether writeAfterCrash ran in this process.
    static bool wasWrittenAfterCrash();

    // A copy of slot i (for diagnostics and tests).
    static Slot slot(std::size_t index);

private:
    std::shared_ptr<Encrypter> tokenEncrypter_;
    Clock clock_;
};

} // namespace beacon
