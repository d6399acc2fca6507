// rm7ux-table: rm7ux's command table, as its parser takes it, for the build and the tests.
//   rm7ux-table bash    the data half of the bash completion (src/cli/doc/rm7ux.bash adds the
//                       functions that use it)
//   rm7ux-table text    one line of options per command, "global" first, for the manual's test
//   rm7ux-table check   each command's synopsis names exactly the options the parser takes
// Not installed.

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommands.h"
#include "config/FieldTable.h"
#include "config/RadioSettings.h"

namespace {

// A command's synopsis read as the completion needs it: "--pin N DEVICE" is --pin with its value
// N, then the operand DEVICE; "[--json|--csv]" two flags.
struct Synopsis {
    std::vector<std::string> Options;
    std::vector<std::pair<std::string, std::string>> Values;  // option, what follows it
    std::vector<std::string> Operands;
};

bool Has(const std::vector<std::string_view>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// "M" in the synopsis, "RM7UH|RM7UL|RM7VX" in the details: the choices win.
std::string ValueOf(const CliCommand& c, const std::string& option, const std::string& word) {
    const std::string details(c.Details);
    for (size_t at = details.find(option + " "); at != std::string::npos;
         at = details.find(option + " ", at + 1)) {
        const size_t start = at + option.size() + 1;
        const std::string next = details.substr(start, details.find_first_of(" \n", start) - start);
        if (next.find('|') != std::string::npos)
            return next;
    }
    return word;
}

Synopsis Read(const CliCommand& c) {
    std::string text(c.Synopsis);
    std::replace_if(
        text.begin(), text.end(), [](char ch) { return ch == '[' || ch == ']'; }, ' ');
    std::istringstream words(text);
    std::vector<std::string> tokens;
    for (std::string w; words >> w;)
        tokens.push_back(w);
    Synopsis s;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i][0] != '-') {
            // Alternatives of an operand ("DEVICE|ADDRESS") are placeholders, not choices.
            std::replace(tokens[i].begin(), tokens[i].end(), '|', '/');
            s.Operands.push_back(tokens[i]);
            continue;
        }
        std::istringstream alternatives(tokens[i]);
        for (std::string option; std::getline(alternatives, option, '|');) {
            s.Options.push_back(option);
            if (Has(c.ValueOptions, option) && i + 1 < tokens.size())
                s.Values.emplace_back(option, ValueOf(c, option, tokens[++i]));
        }
    }
    return s;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

std::vector<std::string> Names(bool forSet) {
    std::vector<std::string> names;
    for (const auto& s : RadioSettingTable()) {
        if (!forSet || s.Writable)
            names.emplace_back(s.Name);
    }
    for (const auto& f : RadioFieldTable()) {
        if (!forSet || f.Writable())
            names.emplace_back(f.Code);
    }
    return names;
}

int Check() {
    int problems = 0;
    for (const auto& c : CliCommandTable()) {
        const Synopsis s = Read(c);
        std::vector<std::string_view> parsed = c.Flags;
        parsed.insert(parsed.end(), c.ValueOptions.begin(), c.ValueOptions.end());
        for (const auto& option : parsed) {
            if (std::find(s.Options.begin(), s.Options.end(), option) == s.Options.end()) {
                std::cerr << "rm7ux-table: " << c.Name << " takes " << option
                          << ", which its synopsis leaves out\n";
                ++problems;
            }
        }
        for (const auto& option : s.Options) {
            if (!Has(parsed, option)) {
                std::cerr << "rm7ux-table: the synopsis of " << c.Name << " names " << option
                          << ", which the parser refuses\n";
                ++problems;
            }
        }
    }
    return problems == 0 ? 0 : 1;
}

void Text() {
    std::cout << "global";
    for (const auto& o : CliGlobalOptions())
        std::cout << " " << o.Name << (o.Short.empty() ? "" : " ") << o.Short;
    std::cout << "\n";
    for (const auto& c : CliCommandTable()) {
        std::cout << c.Name;
        for (const auto& f : c.Flags)
            std::cout << " " << f;
        for (const auto& v : c.ValueOptions)
            std::cout << " " << v;
        std::cout << "\n";
    }
}

void Bash() {
    std::vector<std::string> commands, globals, globalValues;
    for (const auto& c : CliCommandTable())
        commands.emplace_back(c.Name);
    for (const auto& o : CliGlobalOptions()) {
        for (std::string_view name : {o.Name, o.Short}) {
            if (name.empty())
                continue;
            globals.emplace_back(name);
            if (!o.Value.empty())
                globalValues.push_back(std::string(name) + "=" + std::string(o.Value));
        }
    }
    std::cout << "# Made at build time from the command table of rm7ux's parser: do not edit.\n"
              << "_rm7ux_commands() { echo '" << Joined(commands) << "'; }\n"
              << "_rm7ux_global_options() { echo '" << Joined(globals) << "'; }\n"
              << "_rm7ux_global_values() { echo '" << Joined(globalValues) << "'; }\n"
              << "# Sets flags, values (OPTION=WHAT) and operands of command $1.\n"
              << "_rm7ux_command() {\n    case $1 in\n";
    for (const auto& c : CliCommandTable()) {
        const Synopsis s = Read(c);
        std::vector<std::string> flags, values;
        for (const auto& f : c.Flags)
            flags.emplace_back(f);
        for (const auto& [option, what] : s.Values)
            values.push_back(option + "=" + what);
        std::cout << "        " << c.Name << ") flags='" << Joined(flags) << "' values='"
                  << Joined(values) << "' operands='" << Joined(s.Operands) << "' ;;\n";
    }
    std::cout << "        *) return 1 ;;\n    esac\n}\n"
              << "# The setting names and field codes get (or set) takes.\n"
              << "_rm7ux_names() {\n    case $1 in\n"
              << "        get) echo '" << Joined(Names(false)) << "' ;;\n"
              << "        set) echo '" << Joined(Names(true)) << "' ;;\n"
              << "    esac\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode == "bash") {
        Bash();
    } else if (mode == "text") {
        Text();
    } else if (mode == "check") {
        return Check();
    } else {
        std::cerr << "usage: rm7ux-table bash|text|check\n";
        return 2;
    }
    return std::cout.good() ? 0 : 1;
}
