#include "beacon/testing/SampleLogs.h"

#include "beacon/testing/SampleDevices.h"

namespace beacon::test {

std::shared_ptr<LogWithProperties> makeLog(int index, int properties) {
    auto log = std::make_shared<LogWithProperties>();
    log->type = "event";
    log->timestamp = Date(std::chrono::seconds(1767225600 + index));
    log->sid = "6f5b1f0e-4c7a-4a53-9a0b-0c1d2e3f4a5b";
    log->device = validDevice();
    std::map<std::string, std::string> values;
    for (int i = 0; i < properties; ++i) values["key" + std::to_string(i)] = "value/" + std::to_string(index * 100 + i);
    log->properties = values;
    return log;
}

std::shared_ptr<LogContainer> makeContainer(const std::string& batchId, int count) {
    std::vector<std::shared_ptr<AbstractLog>> logs;
    for (int i = 0; i < count; ++i) logs.push_back(makeLog(i));
    return std::make_shared<LogContainer>(batchId, logs);
}

std::shared_ptr<CommonSchemaLog> makeCommonSchemaLog(const std::string& name, const std::vector<std::string>& tokens,
                                                     const std::vector<std::string>& ticketKeys) {
    auto log = std::make_shared<CommonSchemaLog>();
    log->ver = "3.0";
    log->name = name;
    log->timestamp = Date(std::chrono::seconds(1767225600));
    for (const auto& token : tokens) log->addTransmissionTargetToken(token);
    if (!tokens.empty()) log->iKey = "o:" + tokens.front().substr(0, tokens.front().find('-'));
    if (!ticketKeys.empty()) {
        log->ext = std::make_shared<CSExtensions>();
        log->ext->protocolExt = std::make_shared<ProtocolExtension>();
        log->ext->protocolExt->ticketKeys = ticketKeys;
    }
    return log;
}

} // namespace beacon::test
