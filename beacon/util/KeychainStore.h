#pragma once

#include <memory>
#include <string>

namespace beacon {

// Outcomes of keychain operations, with the status codes callers and logs
// know them by.
namespace KeychainStatus {
inline constexpr int Success = 0;
inline constexpr int IOError = -36;
inline constexpr int Param = -50;
inline constexpr int DuplicateItem = -25299;
inline constexpr int ItemNotFound = -25300;
inline constexpr int InteractionNotAllowed = -25308; // the keyring is locked or refused access
} // namespace KeychainStatus

// Generic passwords: string values under (service, account).
class KeychainStore {
public:
    virtual ~KeychainStore() = default;
    // Adds an item; DuplicateItem when the account already has one.
    virtual int add(const std::string& service, const std::string& account, const std::string& value) = 0;
    // Reads an item into `value`; ItemNotFound when there is none.
    virtual int copy(const std::string& service, const std::string& account, std::string& value) = 0;
    // Deletes an item; ItemNotFound when there is none.
    virtual int remove(const std::string& service, const std::string& account) = 0;
    // Deletes every item of the service; ItemNotFound when there was none.
    virtual int removeAll(const std::string& service) = 0;
};

// The desktop's Secret Service when one answers on the session bus, with a
// private file in Zelvo's data folder beside it for the times it does not.
std::shared_ptr<KeychainStore> makeDefaultKeychainStore();

} // namespace beacon
