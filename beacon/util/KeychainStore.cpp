#include "beacon/util/KeychainStore.h"

#include "beacon/util/FallbackKeychainStore.h"
#include "beacon/util/FileKeychainStore.h"
#include "beacon/util/SecretServiceKeychainStore.h"

namespace beacon {

std::shared_ptr<KeychainStore> makeDefaultKeychainStore() {
    return std::make_shared<FallbackKeychainStore>(
        []() -> std::shared_ptr<KeychainStore> { return SecretServiceKeychainStore::connect(); },
        std::make_shared<FileKeychainStore>(FileKeychainStore::defaultFile()));
}

} // namespace beacon
