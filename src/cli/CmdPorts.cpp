// ports: the serial ports present, and pinning a cable (or a device server's address) to a COM
// number.

#include <algorithm>
#include <string>

#include "cli/CliCommands.h"
#include "cli/RecordFields.h"
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

void PrintTable(std::ostream& out, const std::vector<SerialPortInfo>& ports) {
    if (ports.empty()) {
        out << "No serial ports found.\n";
        return;
    }
    size_t deviceWidth = 6;
    for (const auto& p : ports)
        deviceWidth = std::max(deviceWidth, p.Device.size());
    auto pad = [](const std::string& s, size_t w) {
        return s + std::string(w > s.size() ? w - s.size() : 0, ' ');
    };
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
        out << pad(ComText(p.Com), 8) << pad(p.Device, deviceWidth + 2) << text << "\n";
    }
}

void PrintJson(std::ostream& out, const std::vector<SerialPortInfo>& ports) {
    out << "[";
    for (size_t i = 0; i < ports.size(); ++i) {
        const auto& p = ports[i];
        auto field = [&out](const char* name, const std::string& value, bool last = false) {
            out << "\"" << name << "\": " << (value.empty() ? "null" : JsonString(value))
                << (last ? "" : ", ");
        };
        out << (i == 0 ? "\n  {" : ",\n  {");
        out << "\"com\": " << (p.Com == 0 ? "null" : std::to_string(p.Com)) << ", ";
        out << "\"kind\": \"" << KindName(p.Kind) << "\", ";
        out << "\"present\": " << (p.Present ? "true" : "false") << ", ";
        field("device", p.Device);
        field("link", p.Link);
        field("byId", p.ById);
        field("vendorId", p.VendorId);
        field("productId", p.ProductId);
        field("vendor", p.Vendor);
        field("product", p.Product);
        field("serial", p.Serial);
        field("driver", p.Driver);
        field("description", p.Description(), true);
        out << "}";
    }
    out << (ports.empty() ? "]\n" : "\n]\n");
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
            ctx.Err() << "rm7ux ports: " << error << "\n";
            return kExitUsage;
        }
        if (!note.empty())
            ctx.Err() << "rm7ux ports: " << note << "\n";
        for (const auto& p : ListSerialPorts()) {
            if (p.Com == static_cast<uint32_t>(*n))
                ctx.Out() << "COM" << *n << " -> " << p.Device << " (" << p.Description() << ")\n";
        }
        return kExitOk;
    }
    if (!ctx.Args.empty())
        return UsageError(ctx, "ports", "unexpected operand '" + ctx.Args[0] + "'");
    const auto ports = ListSerialPorts();
    if (ctx.Flag("--json")) {
        PrintJson(ctx.Out(), ports);
    } else {
        PrintTable(ctx.Out(), ports);
    }
    return kExitOk;
}
