// identify, status, flash: one exchange each.

#include <array>
#include <string>
#include <string_view>

#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/RadioSession.h"
#include "cli/RecordFields.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/RadioSettings.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"

namespace {

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

    if (ctx.Flag("--json")) {
        SettingsContext sc;
        sc.RadioModel = model;
        sc.VersionText = version;
        Json settings = Json::object();
        for (const char* name : {"model", "firmware", "serial", "hardware-revision"}) {
            const RadioSetting& s = *FindRadioSetting(name);
            const std::string raw =
                s.Code == "RV" ? version : (s.Code == "PN" ? IntToHex(serial, 8) : rh);
            settings[name] = SettingJson(s, raw, sc);
        }
        Json variant = Json::object();
        variant["code"] = "RV";
        variant["unit"] = "";
        variant["value"] = JsonString(PowerVariantText(ModelVariantCode(version)));
        variant["raw"] = JsonString(version);
        settings["power-variant"] = std::move(variant);
        PrintJsonDocument(ctx.Out(), "identify", nullptr, std::move(settings));
        return kExitOk;
    }
    const std::string revision = HardwareRevisionText(model, rh);
    ctx.Out() << "Model: " << (model == 1 ? "RM7UX" : "RM7VX") << "\n"
              << "Power variant: " << PowerVariantText(ModelVariantCode(version)) << "\n"
              << "Version: " << TerminalSafe(version) << "\n"
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

    if (ctx.Flag("--json")) {
        Json settings = Json::object();
        const std::pair<const char*, const std::string*> fields[] = {
            {"temperature", &rt}, {"rssi", &rr}, {"alarms", &rc}};
        for (const auto& [name, raw] : fields)
            settings[name] = SettingJson(*FindRadioSetting(name), *raw, {});
        PrintJsonDocument(ctx.Out(), "status", nullptr, std::move(settings));
        return kExitOk;
    }
    const std::string temperature = TemperatureText(rt);
    const std::optional<int64_t> rssi = TryHexToInt64(rr);
    ctx.Out() << "Temperature: " << (temperature.empty() ? "unknown" : temperature + " °C") << "\n"
              << "Raw RSSI: " << (rssi ? std::to_string(*rssi) : std::string("unknown")) << "\n"
              << "Alarms: " << RadioAlarmsText(rc) << "\n";
    return kExitOk;
}

int RunFlash(CliContext& ctx) {
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("flash");
    RadioIdentity radio;
    if (!IdentifyOnLink(radio) && session.Failure() != 0)
        return session.Fail("flash: reading the serial number");
    if (RefusedOverUnfinished(ctx, radio.Serial, "flash")) {
        session.Close();
        return kExitRefused;
    }
    CliHistory history(ctx, "flash", radio, radio.Context());
    const OperationResult saved = SaveWorkingSettings(history.Recorder());
    if (!saved.Done())
        return session.FailWith(saved.Message);
    session.Close();
    ctx.Err() << "Saved to flash\n";
    return kExitOk;
}
