// ports: the serial ports present, and pinning a cable (or a device server's address) to a COM
// number.

#include <algorithm>
#include <string>

#include "cli/CliCommands.h"
#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "platform/PortArgument.h"
#include "platform/PortNames.h"
#include "platform/SerialPorts.h"

namespace {

const char* KindName(SerialPortKind kind) {
    switch (kind) {
        case SerialPortKind::Uart:
            return "uart";
        case SerialPortKind::Usb:
            return "usb";
        case SerialPortKind::Acm:
            return "acm";
        case SerialPortKind::Link:
            return "link";
        case SerialPortKind::Network:
            return "network";
    }
    return "";
}

std::string ComText(uint32_t n) {
    return n == 0 ? "-" : "COM" + std::to_string(n);
}

// Names from sysfs, /dev and the ports folder are whatever someone made them: escaped.
void PrintTable(std::ostream& out, const std::vector<SerialPortInfo>& ports) {
    if (ports.empty()) {
        out << "No serial ports found.\n";
        return;
    }
    auto pad = [](const std::string& s, size_t w) {
        const size_t columns = TerminalColumns(s);
        return s + std::string(w > columns ? w - columns : 0, ' ');
    };
    size_t deviceWidth = 6;
    for (const auto& p : ports)
        deviceWidth = std::max(deviceWidth, TerminalColumns(TerminalSafe(p.Device)));
    out << pad("PORT", 8) << pad("DEVICE", deviceWidth + 2) << "DESCRIPTION\n";
    for (const auto& p : ports) {
        std::string text = p.Description();
        if (p.IsUsb() && !p.Driver.empty())
            text += ", driver " + p.Driver;
        if (!p.Link.empty())
            text +=
                (p.Kind == SerialPortKind::Network ? ", address in " : ", linked from ") + p.Link;
        if (!p.ById.empty())
            text += ", " + p.ById;
        out << pad(ComText(p.Com), 8) << pad(TerminalSafe(p.Device), deviceWidth + 2)
            << TerminalSafe(text) << "\n";
    }
}

void PrintJson(std::ostream& out, const std::vector<SerialPortInfo>& ports) {
    Json list = Json::array();
    for (const auto& p : ports) {
        Json port = Json::object();
        auto text = [](const std::string& value) {
            return value.empty() ? Json(nullptr) : JsonString(value);
        };
        port["com"] = p.Com == 0 ? Json(nullptr) : Json(p.Com);
        port["kind"] = KindName(p.Kind);
        port["present"] = p.Present;
        port["device"] = text(p.Device);
        port["link"] = text(p.Link);
        port["by-id"] = text(p.ById);
        port["vendor-id"] = text(p.VendorId);
        port["product-id"] = text(p.ProductId);
        port["vendor"] = text(p.Vendor);
        port["product"] = text(p.Product);
        port["serial"] = text(p.Serial);
        port["driver"] = text(p.Driver);
        port["description"] = text(p.Description());
        list.push_back(std::move(port));
    }
    out << JsonDump(list) << "\n";
}

}  // namespace

int RunPorts(CliContext& ctx) {
    if (const std::string* pin = ctx.Option("--pin")) {
        std::optional<int32_t> n = TryStrToInt(*pin);
        if (!n || *n < 1 || *n > 256)
            return UsageError(ctx, "ports", "--pin needs a COM number from 1 to 256");
        if (ctx.Args.size() != 1)
            return UsageError(ctx, "ports", "--pin N needs the DEVICE or ADDRESS to keep as COM N");
        std::string note;
        const bool address = LooksLikeAddress(ctx.Args[0]);
        std::string error = address ? WriteAddressFile(static_cast<uint32_t>(*n), ctx.Args[0])
                                    : PinComPort(static_cast<uint32_t>(*n), ctx.Args[0], note);
        if (!error.empty()) {
            ctx.Err() << "rm7ux ports: " << TerminalSafe(error) << "\n";
            return kExitUsage;
        }
        if (!note.empty())
            ctx.Err() << "rm7ux ports: " << TerminalSafe(note) << "\n";
        for (const auto& p : ListSerialPorts()) {
            if (p.Com == static_cast<uint32_t>(*n))
                ctx.Out() << "COM" << *n << " -> " << TerminalSafe(p.Device) << " ("
                          << TerminalSafe(p.Description()) << ")\n";
        }
        return kExitOk;
    }
    if (!ctx.Args.empty())
        return UsageError(ctx, "ports", "unexpected operand '" + TerminalSafe(ctx.Args[0]) + "'");
    const auto ports = ListSerialPorts();
    if (ctx.Flag("--json")) {
        PrintJson(ctx.Out(), ports);
    } else {
        PrintTable(ctx.Out(), ports);
    }
    return kExitOk;
}
