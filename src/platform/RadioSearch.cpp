#include "platform/RadioSearch.h"

#include "platform/PortDiagnosis.h"

std::string RadioSearchStep::Text() const {
    std::string name =
        Port.Com != 0 ? "COM" + std::to_string(Port.Com) + " (" + Port.Device : "(" + Port.Device;
    return name + ", " + Port.Description() + "): " + Outcome;
}

std::vector<SerialPortInfo> RadioSearchCandidates(const std::vector<SerialPortInfo>& ports,
                                                  bool builtIn) {
    std::vector<SerialPortInfo> candidates;
    for (const auto& p : ports) {
        // A network port is never scanned: typing at a server's port could reach any device.
        if (!p.Present || (p.Kind == SerialPortKind::Uart && !builtIn) ||
            p.Kind == SerialPortKind::Network)
            continue;
        candidates.push_back(p);
    }
    return candidates;
}

std::vector<RadioSearchStep> SearchForRadio(const std::vector<SerialPortInfo>& candidates,
                                            const RadioProbe& probe) {
    std::vector<RadioSearchStep> steps;
    for (const auto& port : candidates) {
        RadioSearchStep step;
        step.Port = port;
        // Typing at a port another program has open would garble its session and ours.
        const std::vector<PortHolder> holders = FindPortHolders(port.Device);
        if (!holders.empty()) {
            step.Outcome = "not tried, in use by";
            for (const auto& h : holders)
                step.Outcome += " " + std::to_string(h.Pid) + " (" + h.Command + ")";
            steps.push_back(step);
            continue;
        }
        step.Tried = true;
        step.Found = probe(port, step.Outcome);
        steps.push_back(step);
        if (step.Found)
            break;
    }
    return steps;
}
