#include "outputs/broker_url.h"

#include "engine/convert.h"

namespace ravelin {

std::string BrokerUrl::text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + host + "]" : host) + ":" + integerText(port);
}

std::optional<BrokerUrl> parseBrokerUrl(const std::string& url) {
    BrokerUrl b;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        b.tls = true;
        b.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();  // "mqtt://host/" names the same broker
    std::string portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos) return std::nullopt;
        b.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
            if (portText.empty()) return std::nullopt;
        }
    } else {
        const auto colon = rest.find(':');
        b.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            portText = rest.substr(colon + 1);
            if (portText.empty()) return std::nullopt;
        }
    }
    if (b.host.empty()) return std::nullopt;
    for (const char c : b.host) {
        // No user info, path, query or blanks: credentials come from their own options.
        if (c == '@' || c == '/' || c == '?' || c == '#' || static_cast<unsigned char>(c) <= ' ') return std::nullopt;
    }
    if (!portText.empty()) {
        if (portText.size() > 5) return std::nullopt;
        for (const char c : portText)
            if (!isDigit(c)) return std::nullopt;
        const int port = std::stoi(portText);
        if (port < 1 || port > 65535) return std::nullopt;
        b.port = port;
    }
    return b;
}

std::string topicPrefixError(const std::string& prefix) {
    if (prefix.empty()) return "the topic prefix is empty";
    if (prefix.find_first_of("+#") != std::string::npos) return "a topic prefix cannot hold '+' or '#'";
    if (prefix.find('\0') != std::string::npos) return "a topic prefix cannot hold a NUL";
    if (prefix.front() == '/' || prefix.back() == '/') return "a topic prefix cannot begin or end with '/'";
    if (prefix.front() == '$') return "topics beginning with '$' belong to the broker";
    if (prefix.size() > 1000) return "the topic prefix is too long";
    return {};
}

}  // namespace ravelin
