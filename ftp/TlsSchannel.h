// The platform's TLS on Windows: SChannel through SSPI, behind
// CTlsProvider. Built on Windows only; no Windows header shows here.
#pragma once

#include <memory>
#include <string>

#include "ftp/TlsStream.h"

// Client credentials for the sessions of one server, named as the user
// gave it: SChannel sends the name to the server, the platform keys its
// session cache by it, and the certificate is checked against it. Offers
// TLS 1.2, and 1.3 where Windows has it. nullptr when the platform gives
// no credentials (see why).
std::shared_ptr<CTlsCredentials> MakeSchannelCredentials(const std::string& serverName, std::string* why = nullptr);
