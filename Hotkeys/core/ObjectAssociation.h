#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>

namespace Hotkeys {

// How an association holds its value. Values are copied into the slot;
// a std::shared_ptr is retained, except under `assign`, which keeps only a
// weak reference (reading gives nothing once the pointee is gone).
enum class AssociationPolicy : std::uintptr_t {
    assign = 0,
    retainNonatomic = 1,
    copyNonatomic = 3,
    retain = 0x301,
    copy = 0x303,
};

namespace association {
// The per-object side table, keyed by (object, association).
void store(const void* object, const void* key, std::any value);
std::optional<std::any> load(const void* object, const void* key);
void erase(const void* object, const void* key);
void eraseKey(const void* key);
} // namespace association

// Drops every value stored on `object`; owners call it when the object goes
// away (MenuItem does in its destructor; the Qt adapters on destroyed()).
void clearAssociations(const void* object);

// A typed slot on any object. Each instance is its own slot: two
// associations store independent values on the same object.
template <typename T> class ObjectAssociation {
public:
    explicit ObjectAssociation(AssociationPolicy policy = AssociationPolicy::retainNonatomic) : policy(policy) {}
    ~ObjectAssociation() { association::eraseKey(this); }
    ObjectAssociation(const ObjectAssociation&) = delete;
    ObjectAssociation& operator=(const ObjectAssociation&) = delete;

    std::optional<T> get(const void* object) const {
        auto stored = association::load(object, this);
        if (!stored) return std::nullopt;
        if constexpr (isSharedPtr) {
            if (auto* weak = std::any_cast<std::weak_ptr<typename T::element_type>>(&*stored)) {
                if (auto strong = weak->lock()) return strong;
                return std::nullopt;
            }
        }
        if (auto* value = std::any_cast<T>(&*stored)) return *value;
        return std::nullopt;
    }

    // Nothing clears the slot.
    void set(const void* object, std::optional<T> value) {
        if (!value) {
            association::erase(object, this);
            return;
        }
        if constexpr (isSharedPtr) {
            if (policy == AssociationPolicy::assign) {
                association::store(object, this, std::weak_ptr<typename T::element_type>(*value));
                return;
            }
        }
        association::store(object, this, std::move(*value));
    }

    const AssociationPolicy policy;

private:
    template <typename U> struct SharedPtrTest : std::false_type {};
    template <typename U> struct SharedPtrTest<std::shared_ptr<U>> : std::true_type {};
    static constexpr bool isSharedPtr = SharedPtrTest<T>::value;
};

} // namespace Hotkeys
