#include "beacon/util/KeychainStore.h"

#include "beacon/util/FileKeychainStore.h"
#include "beacon/util/SecretServiceKeychainStore.h"

namespace beacon {

std::shared_ptr<KeychainStore> makeDefaultKeychainStore() {
    if (auto secretService = SecretServiceKeychainStore::connect()) return secretService;
    return std::make_shared<FileKeychainStore>(FileKeychainStore::defaultFile());
}

} // namespace beacon
