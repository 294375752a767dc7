#include "platform/http/CurlTransport.h"

#include "platform/Deployment.h"
#include "platform/Log.h"

#include <curl/curl.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace platform::http {

namespace {

constexpr const char* kFallbackCABundle = "/etc/ssl/certs/ca-certificates.crt";

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The system's CA bundle followed by the extra one, for CURLOPT_CAINFO_BLOB.
// Empty when no extra file is configured: libcurl then uses its defaults.
std::string buildCABundle(const std::string& extraFile) {
    if (extraFile.empty()) return {};
    auto extra = readFile(extraFile);
    if (!extra) {
        platform::logWarning("cannot read the extra CA file " + extraFile + "; using the system CAs only");
        return {};
    }
    std::string systemPath = kFallbackCABundle;
    if (CURL* probe = curl_easy_init()) {
        char* path = nullptr;
        if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &path) == CURLE_OK && path && *path) systemPath = path;
        curl_easy_cleanup(probe);
    }
    std::string bundle = readFile(systemPath).value_or(std::string());
    if (!bundle.empty() && bundle.back() != '\n') bundle += '\n';
    return bundle + *extra;
}

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

Error canceledError() { return {kTransportErrorDomain, CURLE_ABORTED_BY_CALLBACK, "The request was canceled."}; }

} // namespace

CurlTransportOptions CurlTransportOptions::fromDeployment() {
    CurlTransportOptions options;
    options.extraCAFile = platform::Deployment::load().extraCAFile;
    return options;
}

// Owns the multi handle and the thread that drives it. Shared between the
// transport and the thread, so that the last of the two frees it.
class CurlTransport::Worker : public std::enable_shared_from_this<Worker> {
public:
    explicit Worker(CurlTransportOptions options) : options_(std::move(options)) {
        initCurlOnce();
        caBundle_ = buildCABundle(options_.extraCAFile);
        multi_ = curl_multi_init();
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, options_.maxConnectionsPerHost);
    }

    ~Worker() {
        for (auto& [easy, transfer] : active_) {
            curl_multi_remove_handle(multi_, easy);
            transfer->release();
        }
        curl_multi_cleanup(multi_);
    }

    void start() {
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        curl_multi_wakeup(multi_);
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else if (thread_.joinable()) thread_.join();
    }

    void send(HttpRequest request, Completion completion) {
        {
            std::lock_guard lock(mutex_);
            incoming_.push_back(std::make_unique<Transfer>(std::move(request), std::move(completion)));
        }
        curl_multi_wakeup(multi_);
    }

    void cancelAll() {
        {
            std::lock_guard lock(mutex_);
            canceled_ = true;
        }
        curl_multi_wakeup(multi_);
    }

private:
    struct Transfer {
        Transfer(HttpRequest r, Completion c) : request(std::move(r)), completion(std::move(c)) {}
        ~Transfer() { release(); }
        void release() {
            if (easy) curl_easy_cleanup(easy);
            if (headerList) curl_slist_free_all(headerList);
            easy = nullptr;
            headerList = nullptr;
        }
        HttpRequest request;
        Completion completion;
        CURL* easy = nullptr;
        curl_slist* headerList = nullptr;
        HttpResponse response;
        std::string body;
        char errorText[CURL_ERROR_SIZE] = {};
    };

    static size_t onBody(char* data, size_t size, size_t count, void* user) {
        static_cast<Transfer*>(user)->body.append(data, size * count);
        return size * count;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* transfer = static_cast<Transfer*>(user);
        std::string line(data, size * count);
        if (line.rfind("HTTP/", 0) == 0) {
            // A new status line (after a 100 Continue): drop earlier headers.
            transfer->response.headers.clear();
        } else if (auto colon = line.find(':'); colon != std::string::npos) {
            transfer->response.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        }
        return size * count;
    }

    bool configure(Transfer& t) {
        t.easy = curl_easy_init();
        if (!t.easy) return false;
        CURL* e = t.easy;
        const auto& r = t.request;
        curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caBundle_.empty()) {
            curl_blob blob{caBundle_.data(), caBundle_.size(), CURL_BLOB_NOCOPY};
            curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
        }
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeout.count()));
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.totalTimeout.count()));
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
        if (r.method == "POST") {
            curl_easy_setopt(e, CURLOPT_POST, 1L);
        } else if (r.method != "GET") {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.method.c_str());
        }
        if (r.method != "GET" || !r.body.empty()) {
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
        }
        // libcurl would add "Expect: 100-continue" for large bodies and a
        // form Content-Type for POST; the request carries its own headers.
        t.headerList = curl_slist_append(t.headerList, "Expect:");
        if (r.headers.find("Content-Type") == r.headers.end())
            t.headerList = curl_slist_append(t.headerList, "Content-Type:");
        for (const auto& [name, value] : r.headers) {
            const std::string line = value.empty() ? name + ";" : name + ": " + value;
            t.headerList = curl_slist_append(t.headerList, line.c_str());
        }
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Worker::onBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Worker::onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText);
        curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
        return true;
    }

    static void finish(std::unique_ptr<Transfer> transfer, CURLcode code) {
        TransportResult result;
        if (code == CURLE_OK) {
            long status = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
            transfer->response.statusCode = status;
            result.response = std::move(transfer->response);
            result.body = std::move(transfer->body);
        } else {
            std::string text = curl_easy_strerror(code);
            if (transfer->errorText[0]) text += std::string(": ") + transfer->errorText;
            long osErrno = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_OS_ERRNO, &osErrno);
            result.error = Error{kTransportErrorDomain, code, text, static_cast<int>(osErrno)};
        }
        auto completion = std::move(transfer->completion);
        transfer.reset();
        if (completion) completion(std::move(result));
    }

    static void fail(std::unique_ptr<Transfer> transfer, Error error) {
        auto completion = std::move(transfer->completion);
        transfer.reset();
        TransportResult result;
        result.error = std::move(error);
        if (completion) completion(std::move(result));
    }

    void run() {
        for (;;) {
            std::deque<std::unique_ptr<Transfer>> fresh;
            bool cancel = false;
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
                fresh.swap(incoming_);
                cancel = canceled_;
            }
            if (cancel) {
                for (auto& [easy, transfer] : active_) curl_multi_remove_handle(multi_, easy);
                auto dropped = std::move(active_);
                active_.clear();
                for (auto& [easy, transfer] : dropped) fail(std::move(transfer), canceledError());
            }
            for (auto& transfer : fresh) {
                if (cancel) {
                    fail(std::move(transfer), canceledError());
                } else if (!configure(*transfer)) {
                    fail(std::move(transfer),
                         Error{kTransportErrorDomain, CURLE_FAILED_INIT, "Cannot create a request."});
                } else {
                    CURL* easy = transfer->easy;
                    curl_multi_add_handle(multi_, easy);
                    active_.emplace(easy, std::move(transfer));
                }
            }
            int running = 0;
            curl_multi_perform(multi_, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                CURL* easy = message->easy_handle;
                const CURLcode code = message->data.result;
                curl_multi_remove_handle(multi_, easy);
                auto it = active_.find(easy);
                if (it == active_.end()) continue;
                auto transfer = std::move(it->second);
                active_.erase(it);
                finish(std::move(transfer), code);
            }
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    CurlTransportOptions options_;
    std::string caBundle_;
    CURLM* multi_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::deque<std::unique_ptr<Transfer>> incoming_;
    std::map<CURL*, std::unique_ptr<Transfer>> active_;
    bool stopping_ = false;
    bool canceled_ = false;
};

CurlTransport::CurlTransport(CurlTransportOptions options) : worker_(std::make_shared<Worker>(std::move(options))) {
    worker_->start();
}

CurlTransport::~CurlTransport() { worker_->stop(); }

void CurlTransport::send(HttpRequest request, Completion completion) {
    worker_->send(std::move(request), std::move(completion));
}

void CurlTransport::cancelAll() { worker_->cancelAll(); }

} // namespace platform::http
