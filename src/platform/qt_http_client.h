// The HTTP client on Qt Network: asynchronous on the event loop, certificates verified
// for https (Qt's default, never turned off here), every request with a deadline.
#pragma once

#include <memory>
#include <string>

#include "outputs/http_client.h"

namespace ravelin {

// `userAgent` goes with every request.
std::unique_ptr<HttpClient> createQtHttpClient(const std::string& userAgent);

}  // namespace ravelin
