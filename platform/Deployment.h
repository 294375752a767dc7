#pragma once

#include <string>

namespace platform {

// Values that differ between deployments: the telemetry app secret, the
// ingestion origins, the maker's web pages and the update feed. Each has a
// built-in default; a JSON file "deployment.json" in Zelvo's config folder
// overrides them, and environment variables override both:
//   ZELVO_APP_SECRET, ZELVO_WEBSITE_URL, ZELVO_CONTACT_URL, ZELVO_BETA_FORM_URL,
//   ZELVO_APPCAST_URL, ZELVO_LOG_URL, ZELVO_COLLECTOR_URL, ZELVO_EXTRA_CA_FILE
// (the JSON keys are the field names below).
struct Deployment {
    std::string appSecret;
    std::string websiteURL;
    std::string contactURL;
    std::string betaFormURL;
    std::string appcastURL;
    std::string logURL;       // Beacon log ingestion origin
    std::string collectorURL; // Collector ingestion origin
    std::string extraCAFile;  // an additional trusted CA bundle (tests); empty: none

    static Deployment defaults();
    // Defaults, then the config file, then the environment.
    static Deployment load();
};

} // namespace platform
