#pragma once

#include "beacon/archive/Archivable.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace beacon {

// The outcome of reading an archive: the root object or the root array of
// objects, or the reason nothing could be read.
struct Unarchived {
    std::shared_ptr<Archivable> object;             // when the root is one object
    std::vector<std::shared_ptr<Archivable>> array; // when the root is an array
    bool isArray = false;
    std::string error; // empty on success

    bool ok() const { return error.empty(); }
};

// Archiving of model objects into bytes (format in ArchiveFormat.h) and back.
// Reading makes only objects of the classes on the process-wide allow-list;
// an archive naming any other class is refused as a whole. Failures are
// logged at error level and answered with nothing.
class ArchiverUtil {
public:
    using Bytes = std::vector<std::uint8_t>;

    static std::optional<Bytes> archiveKeyedData(const Archivable& root);
    static std::optional<Bytes> archiveKeyedData(const std::vector<std::shared_ptr<const Archivable>>& roots);
    template <typename T> static std::optional<Bytes> archiveKeyedData(const std::vector<std::shared_ptr<T>>& roots) {
        return archiveKeyedData(std::vector<std::shared_ptr<const Archivable>>(roots.begin(), roots.end()));
    }

    static Unarchived unarchiveKeyedData(std::span<const std::uint8_t> bytes);

    // The root object when it is a T; null (and a log line) otherwise.
    template <typename T> static std::shared_ptr<T> unarchive(std::span<const std::uint8_t> bytes) {
        auto result = unarchiveKeyedData(bytes);
        if (!result.ok() || result.isArray) return reject<T>(result, "an object");
        auto typed = std::dynamic_pointer_cast<T>(result.object);
        return typed ? typed : reject<T>(result, "an object of the expected class");
    }

    // The root array when every element is a T (absent elements stay null).
    template <typename T>
    static std::optional<std::vector<std::shared_ptr<T>>> unarchiveArray(std::span<const std::uint8_t> bytes) {
        auto result = unarchiveKeyedData(bytes);
        if (!result.ok() || !result.isArray) {
            reject<T>(result, "an array");
            return std::nullopt;
        }
        std::vector<std::shared_ptr<T>> typed;
        for (auto& element : result.array) {
            auto cast = std::dynamic_pointer_cast<T>(element);
            if (element && !cast) {
                reject<T>(result, "an array of the expected class");
                return std::nullopt;
            }
            typed.push_back(std::move(cast));
        }
        return typed;
    }

    // Extends the allow-list (each call adds to it; a name given again
    // replaces its maker).
    static void addAllowedClasses(const std::vector<ArchiveClass>& classes);
    static bool isAllowedClass(const std::string& name);
    // Allows every class of the telemetry core's model and contexts (done
    // once per process; later calls do nothing).
    static void addAllowedBeaconModuleClasses();

private:
    template <typename T> static std::shared_ptr<T> reject(const Unarchived& result, const char* expected) {
        logUnexpectedRoot(result, expected);
        return nullptr;
    }
    static void logUnexpectedRoot(const Unarchived& result, const char* expected);
};

} // namespace beacon
