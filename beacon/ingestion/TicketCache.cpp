#include "beacon/ingestion/TicketCache.h"

namespace beacon {

TicketCache& TicketCache::sharedInstance() {
    static TicketCache cache;
    return cache;
}

std::optional<std::string> TicketCache::ticketFor(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = tickets_.find(key);
    if (it == tickets_.end()) return std::nullopt;
    return it->second;
}

void TicketCache::setTicket(const std::string& ticket, const std::string& key) {
    std::lock_guard lock(mutex_);
    tickets_[key] = ticket;
}

void TicketCache::clearCache() {
    std::lock_guard lock(mutex_);
    tickets_.clear();
}

} // namespace beacon
