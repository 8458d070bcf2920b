// --http [ADDR:]PORT: where the web server listens.
#pragma once

#include <optional>
#include <string>

namespace ravelin {

struct HttpAddress {
    std::string host = "127.0.0.1";  // a numeric IPv4 or IPv6 address
    int port = 0;
    bool ipv6 = false;
    // "127.0.0.1:8080", "[::1]:8080"
    std::string text() const;
};

// Parses "PORT", "ADDR:PORT" or "[ADDR6]:PORT" (port 0: the system picks one); nothing
// with `error` set for anything else.
std::optional<HttpAddress> parseHttpAddress(const std::string& text, std::string& error);

}  // namespace ravelin
