// get and set: settings by name in their units, or fields by their raw codes, several in one
// exchange.

#include <cctype>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "config/FieldTable.h"
#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/RadioSettings.h"
#include "frequency/CountryFrequency.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"

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
        double p1, p2, p3, p4;
        int32_t band = 0;
        if (!Limit("P1", p1, status) || !Limit("P2", p2, status) || !Limit("P3", p3, status) ||
            !Limit("P4", p4, status) || !ReadNumber("PA", band, status))
            return false;
        code = PlanCode(context_.RadioModel, band, p3, p4, p1, p2);
        if (code.empty())
            code = "none";
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
        ctx_.Err() << "rm7ux: " << session_.PortLabel() << ": the radio's " << code << " value '"
                   << TerminalSafe(reply) << "' is not a value of that field\n";
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
    RadioView radio(ctx, session);
    int status = kExitOk;
    double p1, p2, p3, p4, pt, pr;
    if (!radio.Limit("P1", p1, status) || !radio.Limit("P2", p2, status) ||
        !radio.Limit("P3", p3, status) || !radio.Limit("P4", p4, status) ||
        !radio.Limit("PT", pt, status) || !radio.Limit("PR", pr, status))
        return status;
    SettingsContext next = radio.Context();
    EncodedSetting e = EncodeSetting(step, value, next);
    if (e.Refusal != SettingRefusal::None) {
        session.Close();
        return UsageError(ctx, "set", e.Problem);
    }
    next.StepCode = e.Raw;
    const int model = next.RadioModel;
    auto channel = [&](double mhz) { return FrequencyToChannel(model, next.StepCode, mhz); };
    // As the window keeps an entry: snapped to the new grid, held inside its limits.
    auto keep = [&](double mhz, double low, double high) {
        double f = NearestValidFrequency(model, next.StepCode, mhz);
        return f < low ? low : (f > high ? high : f);
    };
    const double tx = keep(pt, p3, p4);
    const double rx = keep(pr, p1, p2);
    const int64_t serial = ReadSerialNumber();
    if (serial < 0 && session.Failure() != 0)
        return session.Fail("set step: reading the serial number");
    const SettingsContext before = radio.Context();
    CliHistory history(ctx, "set step", serial, next);
    auto send = [&](std::string_view code, const std::string& raw) {
        const bool ok = SetField(std::string(code), raw);
        if (ok)
            history.FieldSet(code, raw, before);
        return ok;
    };
    std::string reply;
    const bool sent = WriteAndReadField("PC", next.StepCode, reply, 2, 2);
    if (sent)
        history.FieldSet("PC", next.StepCode);
    if (!sent || !send("P3", channel(p3)) || !send("P4", channel(p4)) || !send("PT", channel(tx)) ||
        !send("P1", channel(p1)) || !send("P2", channel(p2)) || !send("PR", channel(rx)))
        return session.Fail("set step: re-encoding the frequencies (nothing saved to flash)");
    std::string failed;
    if (!SaveToFlashNamed(failed))
        return session.Fail(failed);
    history.FlashSaved();
    const bool reset = ResetRadio();
    session.Close();
    session.Settle();
    ctx.Out() << "step=" << e.Shown << "\ntx-frequency=" << FormatMHz(tx)
              << "\nrx-frequency=" << FormatMHz(rx) << "\n";
    ctx.Err() << "Saved to flash" << (reset ? " and reset" : "; please reset the radio") << "\n";
    return kExitOk;
}

}  // namespace

bool SaveToFlashNamed(std::string& failure) {
    TVVComm2& port = *RM7UXLink();
    for (const char* step : {"EE", "EP"}) {
        if (!port.WriteEchoed(step)) {
            failure = std::string("flash save: ") + step + " was not echoed";
            return false;
        }
        if (!port.WaitForChar(">", 4000, 200)) {
            failure = std::string("flash save: no prompt after ") + step;
            return false;
        }
    }
    return true;
}

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
                context.Low = planRow->Lower;
                context.High = planRow->Upper;
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
            c.Shown =
                c.PlanRow->Abbreviation.empty() ? "entire" : std::string(c.PlanRow->Abbreviation);
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
    const int64_t serial = ReadSerialNumber();
    if (serial < 0 && session.Failure() != 0)
        return session.Fail("set: reading the serial number");
    CliHistory history(ctx, "set", serial, radio.Context());
    auto send = [&](std::string_view code, const std::string& raw) {
        const bool ok = SetField(std::string(code), raw);
        if (ok)
            history.FieldSet(code, raw);
        return ok;
    };
    for (const Change& c : changes) {
        bool ok = true;
        if (c.PlanRow != nullptr) {
            // As the window applies a plan: both sides to the row's limits, both frequencies to
            // its centre on the radio's grid.
            const SettingsContext& context = radio.Context();
            const int model = context.RadioModel;
            const double centre = NearestValidFrequency(model, context.StepCode,
                                                        (c.PlanRow->Lower + c.PlanRow->Upper) / 2);
            auto channel = [&](double f) { return FrequencyToChannel(model, context.StepCode, f); };
            history.Origin().Action = "set plan " + c.Shown;
            ok = send("P1", channel(c.PlanRow->Lower)) && send("P2", channel(c.PlanRow->Upper)) &&
                 send("PR", channel(centre)) && send("P3", channel(c.PlanRow->Lower)) &&
                 send("P4", channel(c.PlanRow->Upper)) && send("PT", channel(centre));
            history.Origin().Action = "set";
        } else if (c.What.Field->Access == FieldAccess::Level) {
            ok = SetFieldPair("PL", std::string(c.What.Field->Code.substr(2)), c.Raw);
            if (ok)
                history.FieldSet(c.What.Field->Code, c.Raw);
        } else {
            ok = send(c.What.Field->Code, c.Raw);
        }
        if (!ok)
            return session.Fail("set " + c.What.Label);
    }
    if (ctx.Flag("--flash")) {
        std::string failed;
        if (!SaveToFlashNamed(failed))
            return session.Fail(failed + " (the values are in the working settings)");
        history.FlashSaved();
    }
    session.Close();
    for (const Change& c : changes)
        ctx.Out() << c.What.Label << "=" << c.Shown << "\n";
    if (!ctx.Flag("--flash"))
        ctx.Err() << "In the working settings only ('rm7ux flash', or --flash, keeps them)\n";
    else
        ctx.Err() << "Saved to flash\n";
    return kExitOk;
}
