// get and set: settings by name in their units, or fields by their raw codes, several in one
// exchange.

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/RadioSession.h"
#include "cli/SerialQuestions.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/FieldTable.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/RadioSettings.h"
#include "config/SerialGuard.h"
#include "frequency/CountryFrequency.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"

namespace {

// One operand of get or set: a setting by name, or a field by its code.
struct Target {
    const RadioSetting* Setting = nullptr;
    const RadioFieldInfo* Field = nullptr;  // the field read or written (nullptr for the plan)
    std::string Label;                      // how messages and output name it
};

std::optional<Target> Resolve(const std::string& operand) {
    Target t;
    t.Setting = FindRadioSetting(operand);
    if (t.Setting != nullptr) {
        t.Label = std::string(t.Setting->Name);
        if (!t.Setting->Code.empty())
            t.Field = FindRadioField(t.Setting->Code);
        return t;
    }
    t.Field = FindRadioField(operand);
    if (t.Field == nullptr)
        return std::nullopt;
    t.Label = std::string(t.Field->Code);
    return t;
}

std::string UnknownName(const std::string& operand) {
    return "unknown setting or field code '" + TerminalSafe(operand) +
           "' ('rm7ux get --help' lists them)";
}

// A value for a field of `width` digits: hexadecimal, at most that wide, "$" allowed in front;
// returned zero-filled and in upper case, or "" when it is not such a value.
std::string RawValue(std::string text, int width) {
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

// What one exchange has learnt of the radio so far, read once when first needed.
class RadioView {
  public:
    RadioView(CliContext& ctx, RadioSession& session) : ctx_(ctx), session_(session) {
        context_.RadioModel = session.RadioModel();
        context_.VersionText = RM7UXVersionText();
    }

    // Reads the field's value as the radio gives it; a refusal or a failure is reported and
    // its status left in `status`.
    bool ReadRaw(const RadioFieldInfo& f, std::string& reply, int& status) {
        const std::string code(f.Code);
        bool ok = false;
        switch (f.Access) {
            case FieldAccess::Text:
                reply = RM7UXVersionText();
                return true;
            case FieldAccess::ReadOnly:
                ok = QueryField(code, reply, 2, f.Digits);
                break;
            case FieldAccess::Editable:
                if (code == "PV" && !TakesPV(status))
                    return false;
                ok = ReadField(code, reply, 2, f.Digits);
                break;
            case FieldAccess::Level:
                ok = QueryFieldWithArgument("PL", code.substr(2), reply, 2, f.Digits);
                break;
        }
        if (!ok)
            status = session_.Fail("reading " + code);
        return ok;
    }

    // A number field's value; a reply that is not hexadecimal is named as such.
    bool ReadNumber(std::string_view code, int32_t& value, int& status) {
        std::string reply;
        const RadioFieldInfo* f = FindRadioField(code);
        if (!ReadRaw(*f, reply, status))
            return false;
        std::optional<int64_t> n = TryHexToInt64(reply);
        if (!n || reply.size() != static_cast<size_t>(f->Digits)) {
            status = Garbage(std::string(code), reply);
            return false;
        }
        value = static_cast<int32_t>(*n);
        return true;
    }

    bool Step(int& status) {
        if (haveStep_)
            return true;
        int32_t pc = 0;
        if (!ReadNumber("PC", pc, status))
            return false;
        context_.StepCode = IntToHex(pc, 2);
        haveStep_ = true;
        return true;
    }

    // A limit field in MHz.
    bool Limit(std::string_view code, double& mhz, int& status) {
        int32_t channel = 0;
        if (!Step(status) || !ReadNumber(code, channel, status))
            return false;
        mhz = ChannelToFrequency(context_.RadioModel, IntToHex(channel, 4), context_.StepCode);
        return true;
    }

    // The band limits that apply to PT (P3, P4) or PR (P1, P2), put into the context.
    bool LimitsFor(std::string_view code, int& status) {
        const bool tx = code == "PT";
        if (!Limit(tx ? "P3" : "P1", context_.Low, status) ||
            !Limit(tx ? "P4" : "P2", context_.High, status))
            return false;
        context_.HaveLimits = true;
        return true;
    }

    bool Plan(std::string& code, int& status) {
        int32_t p[4];
        int32_t band = 0;
        if (!Step(status) || !ReadNumber("P1", p[0], status) || !ReadNumber("P2", p[1], status) ||
            !ReadNumber("P3", p[2], status) || !ReadNumber("P4", p[3], status) ||
            !ReadNumber("PA", band, status))
            return false;
        const auto hex = [](int32_t channel) { return IntToHex(channel, 4); };
        const TGroupFreqBand* row = PlanOfLimits(context_.RadioModel, context_.StepCode, band,
                                                 hex(p[0]), hex(p[1]), hex(p[2]), hex(p[3]));
        code = row != nullptr ? PlanCodeOf(*row) : "none";
        band_ = band;
        return true;
    }

    bool TakesPV(int& status) {
        std::string why;
        if (RadioTakesPV(RM7UXIsRM7UX(), RM7UXVersionText(), &why))
            return true;
        if (why.empty())
            why = "the firmware of this radio (" + RM7UXVersionText() + ") has no PV";
        session_.Close();
        ctx_.Err() << "rm7ux: PV: " << TerminalSafe(why) << "\n";
        status = kExitRefused;
        return false;
    }

    int Garbage(const std::string& code, const std::string& reply) {
        session_.Close();
        ctx_.Err() << "rm7ux: " << TerminalSafe(session_.PortLabel()) << ": the radio's " << code
                   << " value '" << TerminalSafe(reply) << "' is not a value of that field\n";
        return kExitFailed;
    }

    SettingsContext& Context() { return context_; }
    int32_t Band() const { return band_; }

  private:
    CliContext& ctx_;
    RadioSession& session_;
    SettingsContext context_;
    bool haveStep_ = false;
    int32_t band_ = -1;
};

// What set will send for one operand.
struct Change {
    Target What;
    std::string Raw;    // the digits
    std::string Shown;  // the value as the radio will hold it
    const TGroupFreqBand* PlanRow = nullptr;
};

// A cut-out below the recommended minimum goes ahead only with the operator's say; one below a
// minimum that the settings file sets, never: the window does not go below it either.
int ConfirmBelowMinimum(CliContext& ctx, const Target& t, const std::string& value) {
    if (t.Setting->Kind != SettingKind::Celsius)
        return kExitOk;
    EncodedSetting e = EncodeSetting(*t.Setting, value, {}, ProgramSettings.MinCutoutTemp);
    if (e.Refusal != SettingRefusal::NeedsConfirm)
        return kExitOk;
    if (ProgramSettings.MinCutoutTempSet) {
        ctx.Err() << "rm7ux set: " << t.Label << ": below the minimum of "
                  << ProgramSettings.MinCutoutTemp << " °C that the settings file sets\n";
        return kExitRefused;
    }
    return ShowWarningBox(e.Problem, MsgButtons::OKCancel) == MsgResult::OK ? kExitOk
                                                                            : kExitRefused;
}

// The radio identified on the session's link, with its serial number; false after Fail.
bool Identified(RadioSession& session, RadioIdentity& radio, int& status, const char* what) {
    if (IdentifyOnLink(radio) || session.Failure() == 0) {
        radio.Serial = std::max<int64_t>(radio.Serial, -1);
        return true;
    }
    status = session.Fail(std::string(what) + ": reading the serial number");
    return false;
}

// A setting as the radio holds it after an operation: "unknown" where the line went first.
std::string HeldValue(const OperationResult& result, std::string_view code,
                      const SettingsContext& context) {
    const std::optional<std::string> raw = result.Value(code);
    if (!raw)
        return "unknown";
    const RadioSetting* s = SettingOfCode(code);
    if (s == nullptr)
        return *raw;
    SettingsContext c = context;
    c.StepCode = result.Step(context.StepCode);
    return DecodeSetting(*s, *raw, c).value_or("$" + *raw);
}

// An operation that did not end as asked: its message, and the status that goes with it.
int OperationFailed(RadioSession& session, const OperationResult& result) {
    return session.FailWith(result.Message);
}

// The window's step change: every frequency and limit kept in MHz, re-encoded on the new grid,
// then saved to flash and the radio reset.
int ChangeStep(CliContext& ctx, const std::string& value) {
    const RadioSetting& step = *FindRadioSetting("step");
    if (std::string problem = PrecheckSetting(step, value); !problem.empty())
        return UsageError(ctx, "set", problem);
    // Asked before anything is read: what is then sent is what the radio holds at that moment.
    if (ShowWarningBox("In order to configure the Frequency Step, all changes will be saved to "
                       "flash and the unit will be reset.\r\n\r\nProceed with change?",
                       MsgButtons::YesNo) != MsgResult::Yes)
        return kExitRefused;
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("set step");
    RadioIdentity radio;
    int status = kExitOk;
    if (!Identified(session, radio, status, "set step"))
        return status;
    if (RefusedOverUnfinished(ctx, radio.Serial, "set step")) {
        session.Close();
        return kExitRefused;
    }
    SettingsContext context = radio.Context();
    EncodedSetting e = EncodeSetting(step, value, context);
    if (e.Refusal != SettingRefusal::None) {
        session.Close();
        return UsageError(ctx, "set", e.Problem);
    }
    CliHistory history(ctx, "set step", radio, context);
    const OperationResult result =
        ChangeFrequencyStep({.StepCode = e.Raw}, radio, history.Recorder());
    const auto held = [&](const char* code) { return HeldValue(result, code, context); };
    const auto print = [&] {
        ctx.Out() << "step=" << held("PC") << "\ntx-frequency=" << held("PT")
                  << "\nrx-frequency=" << held("PR") << "\n";
    };
    // Before the port closes: a signal that waited for the exchange is delivered there.
    print();
    ctx.Out().flush();
    if (result.Outcome == OperationOutcome::ResetUnconfirmed || result.Done()) {
        session.Close();
        session.Settle();
        if (!result.Done()) {
            ctx.Err() << "rm7ux: " << TerminalSafeLines(result.Message) << "\n";
            return kExitFailed;
        }
        ctx.Err() << "Saved to flash and reset\n";
        return kExitOk;
    }
    return OperationFailed(session, result);
}

}  // namespace

int RunGet(CliContext& ctx) {
    std::vector<Target> targets;
    for (const std::string& operand : ctx.Args) {
        std::optional<Target> t = Resolve(operand);
        if (!t)
            return UsageError(ctx, "get", UnknownName(operand));
        targets.push_back(*t);
    }
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("get");
    RadioView radio(ctx, session);
    std::vector<std::string> values;
    int status = kExitOk;
    for (const Target& t : targets) {
        std::string value;
        if (t.Setting != nullptr && t.Setting->Kind == SettingKind::Plan) {
            if (!radio.Plan(value, status))
                return status;
        } else {
            if (!radio.ReadRaw(*t.Field, value, status))
                return status;
            if (t.Setting != nullptr) {
                const SettingKind kind = t.Setting->Kind;
                if ((kind == SettingKind::Frequency || kind == SettingKind::Limit) &&
                    !radio.Step(status))
                    return status;
                std::optional<std::string> decoded =
                    DecodeSetting(*t.Setting, value, radio.Context());
                if (!decoded)
                    return radio.Garbage(std::string(t.Setting->Code), value);
                value = *decoded;
            }
        }
        values.push_back(TerminalSafe(value));
    }
    session.Close();
    for (const std::string& v : values)
        ctx.Out() << v << "\n";
    return kExitOk;
}

int RunSet(CliContext& ctx) {
    if (ctx.Args.size() % 2 != 0)
        return UsageError(ctx, "set", "every NAME needs a VALUE");
    std::vector<std::pair<Target, std::string>> wanted;
    for (size_t i = 0; i < ctx.Args.size(); i += 2) {
        std::optional<Target> t = Resolve(ctx.Args[i]);
        if (!t)
            return UsageError(ctx, "set", UnknownName(ctx.Args[i]));
        const std::string& value = ctx.Args[i + 1];
        if (t->Setting != nullptr) {
            if (!t->Setting->Writable)
                return UsageError(ctx, "set", t->Label + " is read only");
            if (t->Setting->Kind == SettingKind::Step) {
                if (ctx.Args.size() != 2)
                    return UsageError(ctx, "set", "step resets the radio: set it on its own");
                return ChangeStep(ctx, value);
            }
            if (std::string problem = PrecheckSetting(*t->Setting, value); !problem.empty())
                return UsageError(ctx, "set", t->Label + ": " + TerminalSafe(problem));
            if (int status = ConfirmBelowMinimum(ctx, *t, value); status != kExitOk)
                return status;
        } else {
            const RadioFieldInfo& f = *t->Field;
            if (f.Access == FieldAccess::Text || f.Access == FieldAccess::ReadOnly)
                return UsageError(ctx, "set", t->Label + " is read only");
            if (RawValue(value, f.Digits).empty()) {
                return UsageError(ctx, "set",
                                  t->Label + " takes at most " + std::to_string(f.Digits) +
                                      " hexadecimal digits, not '" + TerminalSafe(value) + "'");
            }
        }
        wanted.emplace_back(*t, value);
    }

    // The serial number on the board decides which files a radio takes: it is replaced only
    // after the two questions program asks, and only in the radio they were asked about.
    std::optional<int64_t> serialBefore;
    for (const auto& [target, value] : wanted) {
        if (target.Field == nullptr || target.Field->Kind != FlashFieldKind::Serial)
            continue;
        RadioSession asking(ctx);
        const int64_t radioSerial = RadioSerialNumber(asking);
        if (radioSerial == -2)
            return asking.Fail("set");
        const int64_t newSerial = *TryHexToInt64(RawValue(value, target.Field->Digits));
        if (newSerial != radioSerial) {
            if (int status = ConfirmSerialNumber(asking, newSerial, radioSerial); status != kExitOk)
                return status;
        }
        serialBefore = radioSerial;
    }

    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("set");
    RadioView radio(ctx, session);
    int status = kExitOk;
    // Everything is encoded and checked before the first write: a refusal sends nothing.
    std::vector<Change> changes;
    const TGroupFreqBand* planRow = nullptr;  // a plan set earlier in this command
    for (const auto& [target, value] : wanted) {
        Change c{target};
        if (target.Setting == nullptr) {
            if (target.Label == "PV" && !radio.TakesPV(status))
                return status;
            c.Raw = RawValue(value, target.Field->Digits);
            c.Shown = c.Raw;
            changes.push_back(c);
            continue;
        }
        const RadioSetting& s = *target.Setting;
        SettingsContext& context = radio.Context();
        if (s.Kind == SettingKind::Frequency || s.Kind == SettingKind::Plan) {
            if (!radio.Step(status))
                return status;
        }
        if (s.Kind == SettingKind::Frequency) {
            if (planRow != nullptr) {
                // The plan's limits as the radio will hold them, on its grid.
                const PlanChannels c =
                    ChannelsOfPlan(context.RadioModel, context.StepCode, *planRow);
                context.Low =
                    ChannelToFrequency(context.RadioModel, IntToHex(c.Lower, 4), context.StepCode);
                context.High =
                    ChannelToFrequency(context.RadioModel, IntToHex(c.Upper, 4), context.StepCode);
            } else if (!radio.LimitsFor(s.Code, status)) {
                return status;
            }
        }
        if (s.Code == "PV" && !radio.TakesPV(status))
            return status;
        if (s.Kind == SettingKind::Plan) {
            std::string current;
            if (!radio.Plan(current, status))
                return status;
            c.PlanRow = FindPlanRow(context.RadioModel, radio.Band(), Trim(value));
            if (c.PlanRow == nullptr) {
                session.Close();
                return UsageError(ctx, "set",
                                  "band " + std::to_string(radio.Band()) + " has no plan '" +
                                      TerminalSafe(value) + "'");
            }
            planRow = c.PlanRow;
            c.Shown = PlanCodeOf(*c.PlanRow);
            changes.push_back(c);
            continue;
        }
        EncodedSetting e = EncodeSetting(s, value, context, ProgramSettings.MinCutoutTemp);
        if (e.Refusal == SettingRefusal::Invalid) {
            session.Close();
            return UsageError(ctx, "set", c.What.Label + ": " + TerminalSafe(e.Problem));
        }
        if (e.Refusal == SettingRefusal::OutOfLimits) {
            session.Close();
            ctx.Err() << "rm7ux set: " << c.What.Label << ": " << e.Problem << "\n";
            return kExitRefused;
        }
        // NeedsConfirm was asked before the port was opened.
        c.Raw = e.Raw;
        c.Shown = e.Shown;
        changes.push_back(c);
    }

    // Frequencies go into the history in MHz, so the grid must be known.
    for (const Change& c : changes) {
        const RadioSetting* s =
            c.What.Field != nullptr ? SettingOfCode(c.What.Field->Code) : nullptr;
        if (s != nullptr && s->Kind == SettingKind::Frequency && !radio.Step(status))
            return status;
    }
    RadioIdentity identity;
    if (!Identified(session, identity, status, "set"))
        return status;
    if (serialBefore && identity.Serial != *serialBefore) {
        session.Close();
        ShowErrorBox(kConnectionChangedText);
        return kExitRefused;
    }
    if (ctx.Flag("--flash") && RefusedOverUnfinished(ctx, identity.Serial, "set --flash")) {
        session.Close();
        return kExitRefused;
    }
    const SettingsContext& context = radio.Context();
    // One operation: every value is written, or none stays.
    std::vector<FieldWrite> writes;
    for (const Change& c : changes) {
        if (c.PlanRow != nullptr) {
            for (const FieldWrite& w :
                 PlanFieldWrites(*c.PlanRow, context.RadioModel, context.StepCode))
                writes.push_back(w);
        } else {
            writes.push_back({std::string(c.What.Field->Code), c.Raw});
        }
    }
    CliHistory history(ctx,
                       changes.size() == 1 && changes[0].PlanRow != nullptr
                           ? "set plan " + changes[0].Shown
                           : "set",
                       identity, context);
    const OperationResult result =
        WriteRadioFields("set", writes, context, history.Recorder(), ctx.Flag("--flash"));
    // Each setting as the radio now holds it.
    const auto planHeld = [&] {
        std::string limits[4];
        for (int n = 0; n < 4; ++n) {
            const std::optional<std::string> raw = result.Value("P" + std::to_string(n + 1));
            if (!raw)
                return std::string("unknown");
            limits[n] = *raw;
        }
        const TGroupFreqBand* row = PlanOfLimits(context.RadioModel, context.StepCode, radio.Band(),
                                                 limits[0], limits[1], limits[2], limits[3]);
        return row != nullptr ? PlanCodeOf(*row) : std::string("none");
    };
    const bool applied = result.Done() || result.Outcome == OperationOutcome::FlashUnconfirmed;
    // Printed before the port closes: a signal that waited for the exchange is delivered there,
    // and what was applied is said before the signal is named.
    for (const Change& c : changes) {
        ctx.Out() << c.What.Label << "=";
        if (applied)
            ctx.Out() << c.Shown << "\n";
        else if (c.PlanRow != nullptr)
            ctx.Out() << planHeld() << "\n";
        else if (c.What.Setting != nullptr && !c.What.Setting->Code.empty())
            ctx.Out() << HeldValue(result, c.What.Setting->Code, context) << "\n";
        else
            ctx.Out() << result.Value(c.What.Field->Code).value_or("unknown") << "\n";
    }
    ctx.Out().flush();
    if (!result.Done())
        return OperationFailed(session, result);
    session.Close();
    if (!ctx.Flag("--flash"))
        ctx.Err() << "In the working settings only ('rm7ux flash', or --flash, keeps them)\n";
    else
        ctx.Err() << "Saved to flash\n";
    return kExitOk;
}
