#include "platform/PortArgument.h"

#include "common/StrUtils.h"

namespace {

constexpr std::string_view kForms = "tcp://HOST:PORT or rfc2217://HOST:PORT";

}  // namespace

std::string NetworkAddress::Text() const {
    const bool v6 = Host.find(':') != std::string::npos;
    return std::string(Rfc2217 ? "rfc2217://" : "tcp://") + (v6 ? "[" + Host + "]" : Host) + ":" +
           std::to_string(Port);
}

bool LooksLikeAddress(std::string_view text) {
    const std::string_view t = TrimView(text);
    const size_t sep = t.find("://");
    return sep != std::string_view::npos && sep > 0 &&
           t.substr(0, sep).find_first_of(" /\\:") == std::string_view::npos;
}

bool ParseNetworkAddress(std::string_view text, NetworkAddress& address, std::string& problem) {
    const std::string_view t = TrimView(text);
    const size_t sep = t.find("://");
    const std::string scheme = sep == std::string_view::npos ? "" : LowerCase(t.substr(0, sep));
    if (scheme != "tcp" && scheme != "rfc2217") {
        problem = "'" + std::string(text) + "' is no address: write " + std::string(kForms);
        return false;
    }
    std::string_view rest = t.substr(sep + 3);
    // A trailing slash, as a browser writes one, changes nothing.
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
            problem = "'" + std::string(text) + "': an IPv6 address is written [ADDRESS]:PORT";
            return false;
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            problem = "'" + std::string(text) + "' needs a port number: " + std::string(kForms);
            return false;
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            problem = "'" + std::string(text) + "': an IPv6 address is written [ADDRESS]:PORT";
            return false;
        }
    }
    if (host.empty() || host.find_first_of(" /\\@?#\t") != std::string_view::npos) {
        problem =
            "'" + std::string(text) + "' needs a host name or address: " + std::string(kForms);
        return false;
    }
    const bool digits = !port.empty() && port.size() <= 5 &&
                        port.find_first_not_of("0123456789") == std::string_view::npos;
    const std::optional<int32_t> n = digits ? TryStrToInt(port) : std::nullopt;
    if (!n || *n < 1 || *n > 65535) {
        problem = "'" + std::string(text) +
                  "' needs a port number from 1 to 65535: " + std::string(kForms);
        return false;
    }
    address.Rfc2217 = scheme == "rfc2217";
    address.Host = std::string(host);
    address.Port = static_cast<uint16_t>(*n);
    return true;
}

bool ParsePortArgument(std::string_view text, PortArgument& port, std::string& problem) {
    std::string_view t = TrimView(text);
    if (LooksLikeAddress(t)) {
        NetworkAddress address;
        if (!ParseNetworkAddress(t, address, problem)) {
            problem = "--port " + problem;
            return false;
        }
        port = {};
        port.Address = address.Text();
        return true;
    }
    if (SameText(t, "auto") || SameText(t, "auto-all")) {
        port = {};
        port.Auto = LowerCase(t);
        return true;
    }
    if (t.size() >= 3 && SameText(t.substr(0, 3), "COM"))
        t = TrimView(t.substr(3));
    const bool digits = !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    std::optional<int32_t> n = digits ? TryStrToInt(t) : std::nullopt;
    if (!n || *n < 1 || *n > 256) {
        problem =
            "--port needs a COM number from 1 to 256 (7, COM7), auto, or a device server's "
            "address (" +
            std::string(kForms) + "), not '" + std::string(text) + "'";
        return false;
    }
    port = {};
    port.Number = static_cast<uint32_t>(*n);
    return true;
}
