#include "cli/PortArgument.h"

#include "common/StrUtils.h"

bool ParsePortArgument(std::string_view text, PortArgument& port, std::string& problem) {
    std::string_view t = TrimView(text);
    if (SameText(t, "auto") || SameText(t, "auto-all")) {
        port.Auto = LowerCase(t);
        port.Number.reset();
        return true;
    }
    if (t.size() >= 3 && SameText(t.substr(0, 3), "COM"))
        t = TrimView(t.substr(3));
    const bool digits = !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    std::optional<int32_t> n = digits ? TryStrToInt(t) : std::nullopt;
    if (!n || *n < 1 || *n > 256) {
        problem = "--port needs a COM number from 1 to 256 (7, COM7), or auto, not '" +
                  std::string(text) + "'";
        return false;
    }
    port.Number = static_cast<uint32_t>(*n);
    port.Auto.clear();
    return true;
}
