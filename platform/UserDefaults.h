#pragma once

#include "platform/Scheduler.h"
#include "platform/Value.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct KeyValueChange {
    std::string key;
    std::optional<Value> newValue; // the effective value after the change (absent when removed)
    std::optional<Value> oldValue;
    bool initial = false; // the call made at once by an "initial" observation
};

struct ObservationOptions {
    bool initial = false; // call the observer once at once with the current value
    bool newValue = true; // carry the new value in each change
};

// The application's preference store. Values of the persistent domain are
// written as one JSON file, replaced atomically after every change; values of
// the registration domain answer reads for absent keys and are never written.
// A store made without a file keeps everything in memory.
//
// Given a write queue, a change only marks the store and queues one write
// there: changes made before that write runs are written together, and the
// thread that changes a value (the UI thread) never waits for the disk.
// Without one, every change is written at once.
class UserDefaults {
public:
    using Observer = std::function<void(const KeyValueChange&)>;
    using ObservationId = std::uint64_t;

    UserDefaults(); // in memory
    explicit UserDefaults(std::filesystem::path file, std::shared_ptr<Queue> writeQueue = nullptr);
    // Writes what is still pending; not to be destroyed on the write queue.
    ~UserDefaults();

    // The stored value, else the registered one.
    std::optional<Value> object(const std::string& key) const;
    // Only the persistent domain: absent when the key was never written.
    std::optional<Value> storedObject(const std::string& key) const;

    bool boolForKey(const std::string& key) const;            // absent: false
    std::int64_t integerForKey(const std::string& key) const; // absent: 0
    double doubleForKey(const std::string& key) const;        // absent: 0
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Value::Data> dataForKey(const std::string& key) const;

    void set(const std::string& key, Value value);
    void remove(const std::string& key);
    void registerDefaults(const std::map<std::string, Value>& defaults);
    std::vector<std::string> storedKeys() const;

    // Writes pending changes now, on the calling thread; true when the file
    // is current.
    bool synchronize();

    ObservationId observe(const std::string& key, ObservationOptions options, Observer observer);
    void removeObservation(ObservationId id);

    const std::filesystem::path& file() const { return file_; }

private:
    void load();
    // A change was made: write it, or queue the write.
    void changedLocked();
    // Writes the latest values when something is pending; writes one after
    // the other, each with the values of the moment it began.
    bool writePending();
    bool writeFile(const std::string& text);
    void notify(const std::string& key, const std::optional<Value>& oldValue);
    std::optional<Value> effectiveLocked(const std::string& key) const;

    struct Observation {
        ObservationId id;
        std::string key;
        ObservationOptions options;
        std::shared_ptr<Observer> observer;
    };

    mutable std::recursive_mutex mutex_;
    // Held for a whole write, taken before mutex_.
    std::mutex writeMutex_;
    std::filesystem::path file_;
    std::shared_ptr<Queue> writeQueue_;
    bool writeQueued_ = false;
    // Queued writes run only while this lives.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
    std::map<std::string, Value> stored_;
    std::map<std::string, Value> registered_;
    std::vector<Observation> observations_;
    ObservationId nextId_ = 1;
    bool dirty_ = false;
};

} // namespace platform
