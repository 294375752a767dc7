#include "platform/UserDefaults.h"

#include "platform/Log.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

UserDefaults::UserDefaults() = default;

UserDefaults::UserDefaults(fs::path file, std::shared_ptr<Queue> writeQueue)
    : file_(std::move(file)), writeQueue_(std::move(writeQueue)) {
    load();
}

UserDefaults::~UserDefaults() {
    // Queued writes refer to this store: those that have not begun do
    // nothing once it is going, one already writing is waited for.
    {
        std::lock_guard lock(mutex_);
        alive_.reset();
    }
    if (writeQueue_) writeQueue_->sync([] {});
    writePending();
}

void UserDefaults::load() {
    std::error_code ec;
    if (!fs::exists(file_, ec)) return;
    std::ifstream in(file_, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    auto parsed = nlohmann::json::parse(text, nullptr, false);
    std::optional<Value> value;
    if (!parsed.is_discarded() && parsed.is_object()) value = Value::fromJson(parsed);
    if (value && value->asDictionary()) {
        for (const auto& [k, v] : *value->asDictionary()) stored_.emplace(k, v);
        return;
    }
    // Keep the damaged file for inspection instead of deleting it.
    auto stamp =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    fs::path aside = file_;
    aside += ".corrupt-" + std::to_string(stamp);
    fs::rename(file_, aside, ec);
    logWarning("preferences file " + file_.string() + " is not readable; moved aside to " + aside.string() +
               " and starting with empty preferences");
}

void UserDefaults::changedLocked() {
    dirty_ = true;
    if (!writeQueue_) {
        writePending();
        return;
    }
    if (writeQueued_) return;
    writeQueued_ = true;
    writeQueue_->async([this, alive = std::weak_ptr<char>(alive_)] {
        const auto guard = alive.lock();
        if (!guard) return;
        {
            std::lock_guard lock(mutex_);
            writeQueued_ = false;
        }
        writePending();
    });
}

bool UserDefaults::writePending() {
    // With a write queue a write holds writeMutex_, so that changes go on
    // meanwhile; without one it holds the store's lock throughout, as the
    // change that asks for it already does.
    std::unique_lock<std::mutex> writing(writeMutex_, std::defer_lock);
    std::unique_lock<std::recursive_mutex> whole(mutex_, std::defer_lock);
    if (writeQueue_) writing.lock();
    else whole.lock();
    std::string text;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        dirty_ = false;
        if (file_.empty()) return true;
        nlohmann::json root = nlohmann::json::object();
        for (const auto& [k, v] : stored_) root[k] = v.toJson();
        text = root.dump(2) + "\n";
    }
    if (writeFile(text)) return true;
    // Tried again at the next change or synchronize.
    std::lock_guard lock(mutex_);
    dirty_ = true;
    return false;
}

bool UserDefaults::writeFile(const std::string& text) {
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    fs::path tmp = file_;
    tmp += ".tmp-" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        logWarning("cannot write preferences " + tmp.string() + ": " + std::strerror(errno));
        return false;
    }
    std::size_t off = 0;
    bool ok = true;
    while (off < text.size()) {
        ssize_t n = ::write(fd, text.data() + off, text.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        off += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), file_.c_str()) != 0) {
        logWarning("cannot write preferences " + file_.string() + ": " + std::strerror(errno));
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::optional<Value> UserDefaults::effectiveLocked(const std::string& key) const {
    if (auto it = stored_.find(key); it != stored_.end()) return it->second;
    if (auto it = registered_.find(key); it != registered_.end()) return it->second;
    return std::nullopt;
}

std::optional<Value> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return effectiveLocked(key);
}

std::optional<Value> UserDefaults::storedObject(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (auto it = stored_.find(key); it != stored_.end()) return it->second;
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const {
    auto v = object(key);
    return v && v->truthy();
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    auto v = object(key);
    return v ? v->integerValue() : 0;
}

double UserDefaults::doubleForKey(const std::string& key) const {
    auto v = object(key);
    return v ? v->doubleValue() : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto s = v->asString()) return *s;
    if (v->isInteger()) return std::to_string(*v->asInteger());
    return std::nullopt;
}

std::optional<Value::Data> UserDefaults::dataForKey(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto d = v->asData()) return *d;
    return std::nullopt;
}

void UserDefaults::set(const std::string& key, Value value) {
    std::optional<Value> old;
    {
        std::lock_guard lock(mutex_);
        old = effectiveLocked(key);
        stored_[key] = std::move(value);
        changedLocked();
    }
    notify(key, old);
}

void UserDefaults::remove(const std::string& key) {
    std::optional<Value> old;
    {
        std::lock_guard lock(mutex_);
        auto it = stored_.find(key);
        if (it == stored_.end()) return;
        old = effectiveLocked(key);
        stored_.erase(it);
        changedLocked();
    }
    notify(key, old);
}

void UserDefaults::registerDefaults(const std::map<std::string, Value>& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [k, v] : defaults) registered_[k] = v;
}

std::vector<std::string> UserDefaults::storedKeys() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [k, v] : stored_) keys.push_back(k);
    return keys;
}

bool UserDefaults::synchronize() { return writePending(); }

UserDefaults::ObservationId UserDefaults::observe(const std::string& key, ObservationOptions options,
                                                  Observer observer) {
    auto shared = std::make_shared<Observer>(std::move(observer));
    ObservationId id;
    std::optional<Value> current;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        observations_.push_back({id, key, options, shared});
        current = effectiveLocked(key);
    }
    if (options.initial) {
        KeyValueChange change{key, options.newValue ? current : std::nullopt, std::nullopt, true};
        (*shared)(change);
    }
    return id;
}

void UserDefaults::removeObservation(ObservationId id) {
    std::lock_guard lock(mutex_);
    observations_.erase(
        std::remove_if(observations_.begin(), observations_.end(), [id](const Observation& o) { return o.id == id; }),
        observations_.end());
}

void UserDefaults::notify(const std::string& key, const std::optional<Value>& oldValue) {
    std::vector<Observation> targets;
    std::optional<Value> current;
    {
        std::lock_guard lock(mutex_);
        current = effectiveLocked(key);
        for (const auto& o : observations_)
            if (o.key == key) targets.push_back(o);
    }
    for (const auto& o : targets) {
        KeyValueChange change{key, o.options.newValue ? current : std::nullopt, oldValue, false};
        (*o.observer)(change);
    }
}

} // namespace platform
