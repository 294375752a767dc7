#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace beacon {

class ArchiveWriter;
class ArchiveReader;

// An object that can be written to and read back from an archive. Each
// archivable class has a stable name, which the archive records with the
// object's fields so that reading needs no outside knowledge of the type.
// A subclass encodes and decodes its base's fields first, then its own.
class Archivable {
public:
    virtual ~Archivable() = default;

    // The class name recorded in archives (also used in diagnostics).
    virtual std::string_view className() const = 0;
    virtual void encode(ArchiveWriter& writer) const = 0;
    // Reads the fields from an archive into a default-constructed object.
    // Absent keys leave fields unset; malformed ones fail the reader.
    virtual void decode(ArchiveReader& reader) = 0;
};

// How the unarchiver makes an object of an allowed class.
struct ArchiveClass {
    std::string name;
    std::function<std::shared_ptr<Archivable>()> make;

    // For a default-constructible class with a static `kClassName`.
    template <typename T> static ArchiveClass of() {
        return ArchiveClass{std::string(T::kClassName), [] { return std::make_shared<T>(); }};
    }
};

} // namespace beacon
