#include "beacon/util/SecretServiceKeychainStore.h"

#include <cstdlib>
#include <filesystem>

#ifdef ZELVO_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace beacon {

#ifdef ZELVO_HAVE_LIBSECRET

namespace {

const SecretSchema* schema() {
    static const SecretSchema value = {
        "com.zelvo.beacon.GenericPassword",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &value;
}

// Maps a libsecret failure to a keychain status and frees it.
int statusOf(GError* error) {
    int status = KeychainStatus::IOError;
    if (error->domain == SECRET_ERROR || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED))
        status = KeychainStatus::InteractionNotAllowed;
    g_error_free(error);
    return status;
}

bool sessionBusConfigured() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ignored);
}

} // namespace

std::shared_ptr<SecretServiceKeychainStore> SecretServiceKeychainStore::connect() {
    if (!sessionBusConfigured()) return nullptr;
    GError* error = nullptr;
    // Opening a session needs a service that really answers.
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!service) {
        if (error) g_error_free(error);
        return nullptr;
    }
    g_object_unref(service);
    return std::make_shared<SecretServiceKeychainStore>();
}

int SecretServiceKeychainStore::add(const std::string& service, const std::string& account, const std::string& value) {
    std::string existing;
    const int found = copy(service, account, existing);
    if (found == KeychainStatus::Success) return KeychainStatus::DuplicateItem;
    if (found != KeychainStatus::ItemNotFound) return found;
    GError* error = nullptr;
    const std::string label = service + " " + account;
    if (!secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value.c_str(), nullptr, &error,
                                    "service", service.c_str(), "account", account.c_str(), nullptr))
        return error ? statusOf(error) : KeychainStatus::IOError;
    return KeychainStatus::Success;
}

int SecretServiceKeychainStore::copy(const std::string& service, const std::string& account, std::string& value) {
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &error, "service", service.c_str(), "account",
                                                account.c_str(), nullptr);
    if (error) return statusOf(error);
    if (!secret) return KeychainStatus::ItemNotFound;
    value = secret;
    secret_password_free(secret);
    return KeychainStatus::Success;
}

int SecretServiceKeychainStore::remove(const std::string& service, const std::string& account) {
    GError* error = nullptr;
    const gboolean removed = secret_password_clear_sync(schema(), nullptr, &error, "service", service.c_str(),
                                                        "account", account.c_str(), nullptr);
    if (error) return statusOf(error);
    return removed ? KeychainStatus::Success : KeychainStatus::ItemNotFound;
}

int SecretServiceKeychainStore::removeAll(const std::string& service) {
    GError* error = nullptr;
    const gboolean removed = secret_password_clear_sync(schema(), nullptr, &error, "service", service.c_str(), nullptr);
    if (error) return statusOf(error);
    return removed ? KeychainStatus::Success : KeychainStatus::ItemNotFound;
}

#else

std::shared_ptr<SecretServiceKeychainStore> SecretServiceKeychainStore::connect() { return nullptr; }
int SecretServiceKeychainStore::add(const std::string&, const std::string&, const std::string&) {
    return KeychainStatus::IOError;
}
int SecretServiceKeychainStore::copy(const std::string&, const std::string&, std::string&) {
    return KeychainStatus::IOError;
}
int SecretServiceKeychainStore::remove(const std::string&, const std::string&) { return KeychainStatus::IOError; }
int SecretServiceKeychainStore::removeAll(const std::string&) { return KeychainStatus::IOError; }

#endif

} // namespace beacon
