// identify, status, get, set, flash: one exchange each, on single fields.

#include <array>
#include <string>
#include <string_view>

#include "cli/CliCommands.h"
#include "cli/FieldTable.h"
#include "cli/RadioSession.h"
#include "common/StrUtils.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"

namespace {

// Whether the identified radio takes "PV"; why not in `why`.
bool IdentifiedRadioTakesPV(std::string& why) {
    if (RadioTakesPV(RM7UXIsRM7UX(), RM7UXVersionText(), &why))
        return true;
    if (why.empty())
        why = "the firmware of this radio (" + RM7UXVersionText() + ") has no PV";
    return false;
}

// A value for a field of `width` digits: hexadecimal, at most that wide, "$" allowed in front;
// returned zero-filled and in upper case, or "" when it is not such a value.
std::string FieldValue(std::string text, int width) {
    if (!text.empty() && text[0] == '$')
        text.erase(0, 1);
    if (text.empty() || text.size() > static_cast<size_t>(width))
        return "";
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return "";
    }
    return std::string(static_cast<size_t>(width) - text.size(), '0') + UpperCase(text);
}

// "high power (500mW, 1W, 2W, 5W)" for a variant code of ModelVariantCode.
std::string PowerVariantText(uint8_t variantCode) {
    static constexpr std::array<std::string_view, 3> kNames = {"low power", "high power", "RM7VX"};
    if (variantCode >= kNames.size())
        return "not recognised";
    std::string levels;
    for (std::string_view caption : PowerCaptionTable[variantCode]) {
        if (!levels.empty())
            levels += ", ";
        levels += Trim(caption);
    }
    return std::string(kNames[variantCode]) + " (" + levels + ")";
}

}  // namespace

int RunIdentify(CliContext& ctx) {
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("identify");
    const std::string version = RM7UXVersionText();
    const int model = session.RadioModel();
    const int64_t serial = ReadSerialNumber();
    if (serial < 0)
        return session.Fail("the serial number could not be read");
    std::string rh;
    if (!QueryField("RH", rh, 2, 2))
        return session.Fail("the hardware version could not be read");
    session.Close();

    const std::string revision = HardwareRevisionText(model, rh);
    ctx.Out() << "Model: " << (model == 1 ? "RM7UX" : "RM7VX") << "\n"
              << "Power variant: " << PowerVariantText(ModelVariantCode(version)) << "\n"
              << "Version: " << version << "\n"
              << "Serial number: " << FormatSerialNumber(serial) << "\n"
              << "Hardware revision: " << (revision.empty() ? "unknown" : revision) << "\n";
    return kExitOk;
}

int RunStatus(CliContext& ctx) {
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("status");
    std::string rt, rr, rc;
    if (!QueryField("RT", rt, 2, 2))
        return session.Fail("the temperature could not be read");
    if (!QueryField("RR", rr, 2, 2))
        return session.Fail("the RSSI could not be read");
    if (!QueryField("RC", rc, 2, 2))
        return session.Fail("the alarms could not be read");
    session.Close();

    const std::string temperature = TemperatureText(rt);
    const std::optional<int64_t> rssi = TryHexToInt64(rr);
    ctx.Out() << "Temperature: " << (temperature.empty() ? "unknown" : temperature + " °C") << "\n"
              << "Raw RSSI: " << (rssi ? std::to_string(*rssi) : std::string("unknown")) << "\n"
              << "Alarms: " << RadioAlarmsText(rc) << "\n";
    return kExitOk;
}

int RunGet(CliContext& ctx) {
    const RadioFieldInfo* field = FindRadioField(ctx.Args[0]);
    if (field == nullptr)
        return UsageError(ctx, "get", "unknown field code '" + ctx.Args[0] + "'");
    const std::string code(field->Code);

    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("get " + code);
    std::string reply, why;
    bool ok = false;
    switch (field->Access) {
        case FieldAccess::Text:
            ok = QueryUntilPrompt(code, reply, ">");
            reply = Trim(reply);
            break;
        case FieldAccess::ReadOnly:
            ok = QueryField(code, reply, 2, field->Width);
            break;
        case FieldAccess::Editable:
            if (code == "PV" && !IdentifiedRadioTakesPV(why)) {
                session.Close();
                ctx.Err() << "rm7ux: get PV: " << why << "\n";
                return kExitRefused;
            }
            ok = ReadField(code, reply, 2, field->Width);
            break;
        case FieldAccess::Level:
            ok = QueryFieldWithArgument("PL", code.substr(2), reply, 2, field->Width);
            break;
    }
    if (!ok)
        return session.Fail("get " + code);
    session.Close();
    ctx.Out() << reply << "\n";
    return kExitOk;
}

int RunSet(CliContext& ctx) {
    const RadioFieldInfo* field = FindRadioField(ctx.Args[0]);
    if (field == nullptr)
        return UsageError(ctx, "set", "unknown field code '" + ctx.Args[0] + "'");
    const std::string code(field->Code);
    if (field->Access == FieldAccess::Text || field->Access == FieldAccess::ReadOnly)
        return UsageError(ctx, "set", code + " is read only");
    const std::string value = FieldValue(ctx.Args[1], field->Width);
    if (value.empty()) {
        return UsageError(ctx, "set",
                          code + " takes at most " + std::to_string(field->Width) +
                              " hexadecimal digits, not '" + ctx.Args[1] + "'");
    }

    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("set " + code);
    std::string why;
    if (code == "PV" && !IdentifiedRadioTakesPV(why)) {
        session.Close();
        ctx.Err() << "rm7ux: set PV: " << why << "\n";
        return kExitRefused;
    }
    const bool ok = field->Access == FieldAccess::Level ? SetFieldPair("PL", code.substr(2), value)
                                                        : SetField(code, value);
    if (!ok)
        return session.Fail("set " + code);
    session.Close();
    ctx.Err() << code << " = " << value << " in the working settings ('rm7ux flash' keeps it)\n";
    return kExitOk;
}

int RunFlash(CliContext& ctx) {
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("flash");
    if (!SaveToFlash())
        return session.Fail("save to flash");
    session.Close();
    ctx.Err() << "Saved to flash\n";
    return kExitOk;
}
