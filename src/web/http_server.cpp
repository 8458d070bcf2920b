#include "web/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "web/http_answers.h"

namespace ravelin {

// One open connection, from the daemon's "started" to its "closed".
struct HttpServer::Connection {
    int fd = -1;
    bool overCap = false;
    std::chrono::steady_clock::time_point deadline;  // max(): none (a request is being answered)
};

// An open /events response.
struct HttpServer::Stream {
    HttpServer* server;
    MHD_Connection* connection;
    std::uint64_t seen = 0;
    std::string pending;
    std::size_t sent = 0;
};

namespace {
constexpr auto kNoDeadline = std::chrono::steady_clock::time_point::max();
}

// The daemon's callbacks, with access to the server.
struct HttpHandlers {
    static void notifyConnection(void* cls, MHD_Connection* connection, void** context,
                                 MHD_ConnectionNotificationCode code) {
        auto* server = static_cast<HttpServer*>(cls);
        const std::lock_guard lock(server->connectionsMutex_);
        auto& open = server->connections_;
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* c = new HttpServer::Connection;
            const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            c->fd = info ? info->connect_fd : -1;
            c->overCap = open.size() >= server->config_.clientCap;
            c->deadline = std::chrono::steady_clock::now() + server->config_.requestDeadline;
            open.push_back(c);
            *context = c;
        } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            auto* c = static_cast<HttpServer::Connection*>(*context);
            std::erase(open, c);
            delete c;
            *context = nullptr;
        }
    }

    static HttpServer::Connection* connectionOf(MHD_Connection* connection) {
        const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<HttpServer::Connection*>(info->socket_context) : nullptr;
    }

    // The request is answered: the next one on the connection has the whole deadline again.
    static void completed(void* cls, MHD_Connection* connection, void** request, MHD_RequestTerminationCode) {
        auto* server = static_cast<HttpServer*>(cls);
        *request = nullptr;
        const std::lock_guard lock(server->connectionsMutex_);
        if (auto* c = connectionOf(connection))
            c->deadline = std::chrono::steady_clock::now() + server->config_.requestDeadline;
    }

    static MHD_Result access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char*, size_t* uploadSize, void** request) {
        auto* server = static_cast<HttpServer*>(cls);
        static int marker;
        const bool first = *request == nullptr;
        *request = &marker;
        bool overCap = false;
        if (first) {
            // The request line and headers are in: no more deadline while it is answered.
            const std::lock_guard lock(server->connectionsMutex_);
            if (auto* c = connectionOf(connection)) {
                c->deadline = kNoDeadline;
                overCap = c->overCap;
            }
        }
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        const bool body = (length && std::strcmp(length, "0") != 0) ||
                          MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) ||
                          *uploadSize > 0;
        if (body) return queueClosing(connection, MHD_HTTP_CONTENT_TOO_LARGE, "no request takes a body\n");
        if (overCap) return queueClosing(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "too many clients\n");
        // Answered on the next call, once the request is complete: a response queued earlier
        // would cost the connection its keep-alive.
        if (first) return MHD_YES;
        const bool head = std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
        if (!head && std::strcmp(method, MHD_HTTP_METHOD_GET) != 0) {
            MHD_Response* r = textResponse("only GET and HEAD\n", "text/plain; charset=utf-8");
            MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
            return queue(connection, MHD_HTTP_METHOD_NOT_ALLOWED, r);
        }
        if (std::strcmp(url, "/events") == 0) return events(server, connection, head);
        const char* language = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_LANGUAGE);
        WebRequest w{url, language ? language : "",
                     [connection](const char* key) {
                         return MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, key);
                     },
                     server->board_.latest()};
        WebContext context{server->config_.version, server->historyMutex_, server->history_, server->trendPicture_};
        WebAnswer answer = answerRequest(w, context);
        MHD_Response* r = answer.lines ? streamedResponse(std::move(answer)) : bufferResponse(std::move(answer));
        return queue(connection, answer.status, r);
    }

    static MHD_Result events(HttpServer* server, MHD_Connection* connection, bool head) {
        MHD_Response* r;
        if (head) {
            r = MHD_create_response_from_buffer(0, const_cast<char*>(""), MHD_RESPMEM_PERSISTENT);
        } else {
            auto* s = new HttpServer::Stream{server, connection, 0, {}, 0};
            r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &readEvents, s, &freeStream);
        }
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream; charset=utf-8");
        MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        return queue(connection, MHD_HTTP_OK, r);
    }

    // The next message when a second newer than the last one sent is in; else the
    // connection is parked until the keeper wakes it. A slow reader skips seconds.
    static ssize_t readEvents(void* cls, uint64_t, char* buf, size_t max) {
        auto* s = static_cast<HttpServer::Stream*>(cls);
        HttpServer& server = *s->server;
        if (s->sent == s->pending.size()) {
            // Checked and parked under one lock, so that a second published meanwhile wakes it,
            // and so that nothing is parked once the server's shut-down has woken the parked ones.
            const std::lock_guard lock(server.parkedMutex_);
            if (server.stopping_) return MHD_CONTENT_READER_END_OF_STREAM;
            const auto latest = server.board_.latest();
            if (!latest || latest->sequence <= s->seen) {
                server.parked_.push_back(s);
                MHD_suspend_connection(s->connection);
                return 0;
            }
            s->seen = latest->sequence;
            s->pending = "data: " + latest->stateJson + "\n\n";
            s->sent = 0;
        }
        const std::size_t n = std::min(max, s->pending.size() - s->sent);
        std::memcpy(buf, s->pending.data() + s->sent, n);
        s->sent += n;
        return static_cast<ssize_t>(n);
    }

    static void freeStream(void* cls) {
        auto* s = static_cast<HttpServer::Stream*>(cls);
        {
            const std::lock_guard lock(s->server->parkedMutex_);
            std::erase(s->server->parked_, s);
        }
        delete s;
    }

    static MHD_Response* bufferResponse(WebAnswer answer) {
        // The body's string moves into the response, which frees it.
        auto* body = new std::string(std::move(answer.body));
        MHD_Response* r = MHD_create_response_from_buffer_with_free_callback_cls(
            body->size(), body->data(), [](void* p) { delete static_cast<std::string*>(p); }, body);
        addHeaders(r, answer);
        return r;
    }

    struct LineStream {
        WebAnswer answer;
        std::size_t next = 0;
        std::string chunk;
        std::size_t sent = 0;
    };

    static MHD_Response* streamedResponse(WebAnswer answer) {
        auto* s = new LineStream{std::move(answer), 0, {}, 0};
        MHD_Response* r = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, 16384,
            [](void* cls, uint64_t, char* buf, size_t max) -> ssize_t {
                auto* s = static_cast<LineStream*>(cls);
                while (s->sent == s->chunk.size()) {
                    if (s->next >= s->answer.lineCount) return MHD_CONTENT_READER_END_OF_STREAM;
                    s->chunk.clear();
                    s->sent = 0;
                    // A few hundred lines at a time, made while they are sent.
                    for (std::size_t i = 0; i < 256 && s->next < s->answer.lineCount; ++i)
                        s->chunk += s->answer.lines(s->next++);
                }
                const std::size_t n = std::min(max, s->chunk.size() - s->sent);
                std::memcpy(buf, s->chunk.data() + s->sent, n);
                s->sent += n;
                return static_cast<ssize_t>(n);
            },
            s, [](void* cls) { delete static_cast<LineStream*>(cls); });
        addHeaders(r, s->answer);
        return r;
    }

    static void addHeaders(MHD_Response* r, const WebAnswer& answer) {
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, answer.type);
        MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
        if (answer.page)
            MHD_add_response_header(r, "Content-Security-Policy",
                                    "default-src 'self'; script-src 'unsafe-inline'; style-src 'unsafe-inline'");
    }

    static MHD_Response* textResponse(const char* text, const char* type) {
        MHD_Response* r = MHD_create_response_from_buffer(std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
        return r;
    }

    static MHD_Result queueClosing(MHD_Connection* connection, unsigned status, const char* text) {
        MHD_Response* r = textResponse(text, "text/plain; charset=utf-8");
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONNECTION, "close");
        return queue(connection, status, r);
    }

    static MHD_Result queue(MHD_Connection* connection, unsigned status, MHD_Response* r) {
        const MHD_Result result = MHD_queue_response(connection, status, r);
        MHD_destroy_response(r);
        return result;
    }
};

HttpServer::HttpServer(HttpServerConfig config, LiveBoard& board, std::unique_ptr<LogFolder> folder)
    : config_(std::move(config)), board_(board), folder_(std::move(folder)), history_(*folder_) {
    keeper_ = std::thread([this] { keep(); });
}

HttpServer::~HttpServer() {
    {
        const std::lock_guard lock(parkedMutex_);
        stopping_ = true;
    }
    board_.stop();
    keeper_.join();
    if (!daemon_) return;
    // Every parked stream is woken to end; the daemon must not stop with one suspended.
    for (int i = 0; i < 200; ++i) {
        std::vector<Stream*> parked;
        {
            const std::lock_guard lock(parkedMutex_);
            parked.swap(parked_);
        }
        if (parked.empty()) break;
        for (Stream* s : parked) MHD_resume_connection(s->connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    MHD_stop_daemon(daemon_);
}

void HttpServer::keep() {
    auto nextTry = std::chrono::steady_clock::now();
    std::uint64_t seen = 0;
    while (!stopping_) {
        if (!daemon_ && std::chrono::steady_clock::now() >= nextTry) {
            if (!tryStart()) nextTry = std::chrono::steady_clock::now() + config_.bindRetry;
        }
        // Wakes at each new second, and four times a second for the slow clients.
        const auto latest = board_.waitNewer(seen, std::chrono::milliseconds(250));
        if (latest && latest->sequence > seen) {
            seen = latest->sequence;
            wakeStreams();
        }
        closeSlowClients();
    }
}

bool HttpServer::tryStart() {
    const HttpAddress& a = config_.address;
    const int fd = ::socket(a.ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const auto fail = [&](const char* what) {
        const std::string why = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        if (config_.report)
            config_.report("--http " + a.text() + ": " + what + ": " + why + "; trying again in a minute");
        return false;
    };
    if (fd < 0) return fail("no socket");
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_storage storage{};
    socklen_t size = 0;
    if (a.ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(a.port));
        ::inet_pton(AF_INET6, a.host.c_str(), &in6->sin6_addr);
        size = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(a.port));
        ::inet_pton(AF_INET, a.host.c_str(), &in->sin_addr);
        size = sizeof *in;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), size) != 0) return fail("cannot bind");
    if (::listen(fd, 4096) != 0) return fail("cannot listen");
    // Room for the cap's 503 answers beyond it, within the open-files limit.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    const unsigned long room = files.rlim_cur > 64 ? files.rlim_cur - 64 : 1;
    const unsigned limit = static_cast<unsigned>(std::min<unsigned long>(config_.clientCap + 4096UL, room));
    daemon_ = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr,
        &HttpHandlers::access, this, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_CONNECTION_LIMIT, limit,
        MHD_OPTION_CONNECTION_TIMEOUT, 10U, MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(16384),
        MHD_OPTION_NOTIFY_CONNECTION, &HttpHandlers::notifyConnection, this, MHD_OPTION_NOTIFY_COMPLETED,
        &HttpHandlers::completed, this, MHD_OPTION_END);
    if (!daemon_) {
        errno = EINVAL;
        return fail("the server did not start");
    }
    sockaddr_storage bound{};
    socklen_t boundSize = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundSize);
    boundPort_ = ntohs(a.ipv6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    listening_ = true;
    if (config_.report) {
        HttpAddress shown = a;
        shown.port = boundPort_;
        config_.report("--http: listening on http://" + shown.text() + "/");
    }
    return true;
}

void HttpServer::wakeStreams() {
    // Resumed outside the lock: a parked stream's connection is suspended, so it stays.
    std::vector<Stream*> parked;
    {
        const std::lock_guard lock(parkedMutex_);
        parked.swap(parked_);
    }
    for (Stream* s : parked) MHD_resume_connection(s->connection);
}

void HttpServer::closeSlowClients() {
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(connectionsMutex_);
    // Shut down, not closed: the daemon closes the descriptor itself, after its "closed" notice.
    for (Connection* c : connections_) {
        if (c->deadline > now || c->fd < 0) continue;
        ::shutdown(c->fd, SHUT_RDWR);
        c->deadline = kNoDeadline;
    }
}

void raiseOpenFilesLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == files.rlim_max) return;
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace ravelin
