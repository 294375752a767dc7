#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace beacon {

// Process-wide tickets for the Collector ingestion, ticket key -> ticket,
// filled by the analytics authentication provider.
class TicketCache {
public:
    static TicketCache& sharedInstance();

    std::optional<std::string> ticketFor(const std::string& key) const;
    void setTicket(const std::string& ticket, const std::string& key);
    void clearCache();

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> tickets_;
};

} // namespace beacon
