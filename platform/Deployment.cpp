#include "platform/Deployment.h"

#include "platform/Log.h"
#include "platform/Paths.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>

namespace platform {

Deployment Deployment::defaults() {
    Deployment d;
    d.appSecret = "6f0e3c52-8d7a-4b1e-9a55-2f4c1d9e7b30";
    d.websiteURL = "https://zelvo.app/";
    d.contactURL = "https://zelvo.app/contact-us/";
    d.betaFormURL = "https://zelvo.app/beta/";
    d.appcastURL = "https://downloads.zelvo.app/downloads/Zelvo.xml";
    d.logURL = "https://in.beacon.zelvo.app";
    d.collectorURL = "https://collector.zelvo.app";
    return d;
}

namespace {

struct Field {
    const char* key;
    const char* env;
    std::string Deployment::*member;
};

const Field kFields[] = {
    {"appSecret", "ZELVO_APP_SECRET", &Deployment::appSecret},
    {"websiteURL", "ZELVO_WEBSITE_URL", &Deployment::websiteURL},
    {"contactURL", "ZELVO_CONTACT_URL", &Deployment::contactURL},
    {"betaFormURL", "ZELVO_BETA_FORM_URL", &Deployment::betaFormURL},
    {"appcastURL", "ZELVO_APPCAST_URL", &Deployment::appcastURL},
    {"logURL", "ZELVO_LOG_URL", &Deployment::logURL},
    {"collectorURL", "ZELVO_COLLECTOR_URL", &Deployment::collectorURL},
    {"extraCAFile", "ZELVO_EXTRA_CA_FILE", &Deployment::extraCAFile},
};

} // namespace

Deployment Deployment::load() {
    Deployment d = defaults();
    const auto file = zelvoConfigDir() / "deployment.json";
    if (std::ifstream in(file); in) {
        auto json = nlohmann::json::parse(in, nullptr, false);
        if (json.is_discarded() || !json.is_object()) {
            logWarning("ignoring " + file.string() + ": not a JSON object");
        } else {
            for (const auto& f : kFields) {
                auto it = json.find(f.key);
                if (it == json.end()) continue;
                if (it->is_string()) d.*f.member = it->get<std::string>();
                else logWarning(file.string() + ": \"" + f.key + "\" must be a string; ignored");
            }
        }
    }
    for (const auto& f : kFields)
        if (const char* v = std::getenv(f.env); v && *v) d.*f.member = v;
    return d;
}

} // namespace platform
