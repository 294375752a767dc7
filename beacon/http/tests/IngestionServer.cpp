#include "beacon/http/tests/IngestionServer.h"

#include "beacon/http/tests/Gunzip.h"
#include "platform/Value.h"

#include <curl/curl.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <strings.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef ZELVO_INGESTION_SERVER_SCRIPT
#error "ZELVO_INGESTION_SERVER_SCRIPT must name ingestion_server.py"
#endif

namespace beacon::test {

namespace fs = std::filesystem;

namespace {

void runOrThrow(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
}

// A self-signed certificate for 127.0.0.1, made once per process in `dir`.
struct Certificate {
    fs::path cert;
    fs::path key;
    Certificate(const fs::path& dir, const std::string& name) {
        cert = dir / (name + ".pem");
        key = dir / (name + ".key");
        runOrThrow("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                   " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost"
                   " -keyout '" +
                   key.string() + "' -out '" + cert.string() + "' 2>/dev/null");
    }
};

struct Certificates {
    ::TempDir dir;
    Certificate server{dir.path, "server"};
    Certificate other{dir.path, "other"};
};

Certificates& certificates() {
    static Certificates certs;
    return certs;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

} // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    return std::nullopt;
}

IngestionServer::IngestionServer() : IngestionServer(Options{}) {}

IngestionServer::IngestionServer(Options options) : options_(options) { launch(0); }

IngestionServer::~IngestionServer() { stop(); }

std::string IngestionServer::caFile() { return certificates().server.cert.string(); }
std::string IngestionServer::otherCAFile() { return certificates().other.cert.string(); }

std::string IngestionServer::origin() const {
    return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void IngestionServer::launch(int port) {
    const auto portFile = dir_.path / "port";
    fs::remove(portFile);
    std::vector<std::string> args = {"python3",     ZELVO_INGESTION_SERVER_SCRIPT,
                                     "--port",      std::to_string(port),
                                     "--port-file", portFile.string(),
                                     "--record",    (dir_.path / "requests.jsonl").string()};
    if (options_.tls) {
        args.insert(args.end(),
                    {"--cert", certificates().server.cert.string(), "--key", certificates().server.key.string()});
    } else {
        args.push_back("--plain");
    }
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    pid_ = child;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!fs::exists(portFile)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the ingestion test server exited at start");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            throw std::runtime_error("the ingestion test server did not start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream(portFile) >> port_; // written whole, by a rename
}

void IngestionServer::restart() {
    stop();
    launch(port_);
}

void IngestionServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void IngestionServer::script(const nlohmann::json& responses, const nlohmann::json& fallback) {
    nlohmann::json body = {{"responses", responses.is_array() ? responses : nlohmann::json::array()}};
    if (!fallback.is_null()) body["default"] = fallback;
    const std::string text = body.dump();
    const std::string url = origin() + "/__control/script";
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, text.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile().c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, 10L);
    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    if (code != CURLE_OK || status != 200)
        throw std::runtime_error(std::string("scripting the test server failed: ") + curl_easy_strerror(code));
}

std::vector<RecordedRequest> IngestionServer::requests() const {
    std::vector<RecordedRequest> result;
    std::ifstream in(dir_.path / "requests.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        auto json = nlohmann::json::parse(line, nullptr, false);
        if (json.is_discarded()) continue; // a line still being written
        RecordedRequest r;
        r.method = json.value("method", "");
        r.path = json.value("path", "");
        for (const auto& pair : json["headers"])
            r.headers.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
        const auto body = platform::base64Decode(json.value("body_b64", "")).value_or(platform::Value::Data{});
        r.body.assign(body.begin(), body.end());
        r.decodedBody = r.body;
        if (r.header("Content-Encoding") == "gzip") r.decodedBody = gunzip(r.body).value_or("<invalid gzip>");
        result.push_back(std::move(r));
    }
    return result;
}

bool IngestionServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (requests().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace beacon::test
