#include "beacon/model/ModelObject.h"

#include "beacon/logger/Logger.h"

namespace beacon {

bool ModelObject::isValid() const {
    auto error = validationError();
    if (error) BEACON_LOG_VERBOSE(*error);
    return !error;
}

std::string ModelObject::invalidFieldMessage(std::string_view className, std::string_view field) {
    std::string message(className);
    message += ": \"";
    message += field;
    message += "\" is not valid.";
    return message;
}

} // namespace beacon
