// The broker address and topic prefix of station mode, as the command line gives them.
#pragma once

#include <optional>
#include <string>

namespace ravelin {

// A broker address from --mqtt.
struct BrokerUrl {
    bool tls = false;
    std::string host;
    int port = 1883;
    std::string text() const;  // mqtt://host:port, as reports name it
};

// mqtt://host[:port] or mqtts://host[:port] (IPv6 literals in brackets); nothing when malformed.
std::optional<BrokerUrl> parseBrokerUrl(const std::string& url);

// Empty when the prefix can head topics; otherwise why not.
std::string topicPrefixError(const std::string& prefix);

}  // namespace ravelin
