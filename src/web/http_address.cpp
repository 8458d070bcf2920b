#include "web/http_address.h"

#include <arpa/inet.h>

#include <charconv>

namespace ravelin {

std::string HttpAddress::text() const {
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HttpAddress> parseHttpAddress(const std::string& text, std::string& error) {
    HttpAddress a;
    std::string port = text;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos) {
            error = "\"" + text + "\" is not [ADDR]:PORT";
            return std::nullopt;
        }
        a.host = text.substr(1, close - 1);
        a.ipv6 = true;
        port = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        a.host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    unsigned char buf[16];
    if (inet_pton(a.ipv6 ? AF_INET6 : AF_INET, a.host.c_str(), buf) != 1) {
        error = "\"" + a.host + "\" is not a numeric " + (a.ipv6 ? "IPv6" : "IPv4") + " address";
        return std::nullopt;
    }
    int n = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
    if (port.empty() || ec != std::errc{} || end != port.data() + port.size() || n < 0 || n > 65535) {
        error = "\"" + port + "\" is not a port from 0 to 65535";
        return std::nullopt;
    }
    a.port = n;
    return a;
}

}  // namespace ravelin
