// The manual's command-line section is the program's: its copies of `rm7ux --help` and of the
// window's --help are what the programs print, and every command its examples run exists.

#include <cctype>
#include <set>
#include <sstream>

#include "CliFixture.h"

namespace {

// The text of <pre id="ID">, its entities read back.
std::string PreBlock(const std::string& html, const std::string& id) {
    const std::string open = "<pre id=\"" + id + "\">";
    const size_t start = html.find(open);
    if (start == std::string::npos)
        return "(no block " + id + ")";
    const size_t from = start + open.size();
    std::string text = html.substr(from, html.find("</pre>", from) - from);
    for (const auto& [entity, character] :
         {std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}, std::pair{"&quot;", "\""},
          std::pair{"&#x27;", "'"}, std::pair{"&#39;", "'"}, std::pair{"&amp;", "&"}}) {
        for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), character);
    }
    return text;
}

std::string WithoutFinalNewline(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

TEST_F(CliTest, ManualCommandLineSectionIsTheProgramsHelp) {
    const std::string manual = ReadWholeFile(RM7UX_MANUAL_PATH);
    ASSERT_FALSE(manual.empty());
    const CliResult help = RunPlain({"--help"});
    ASSERT_EQ(help.Status, 0);
    EXPECT_EQ(PreBlock(manual, "rm7ux-help"), WithoutFinalNewline(help.Out))
        << "docs/manual: copy `rm7ux --help` into its command-line section";

    // The commands --help lists ("  NAME ..." under "Commands:"), and every one the manual's
    // examples run is among them. Plain scanning: GCC 12's <regex> warns under the sanitizers.
    std::set<std::string> commands;
    const size_t list = help.Out.find("Commands:");
    ASSERT_NE(list, std::string::npos);
    std::istringstream lines(help.Out.substr(list));
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || !std::islower(line[2]))
            continue;
        const size_t end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz", 2);
        if (end != std::string::npos && line[end] == ' ')
            commands.insert(line.substr(2, end - 2));
    }
    EXPECT_TRUE(commands.count("watch") && commands.count("history") && commands.count("ports"));
    // An example is a line "rm7ux [OPTION [VALUE]]... COMMAND ...": the first word that is
    // neither an option nor an option's value is its command.
    int examples = 0;
    std::istringstream text(manual);
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("rm7ux ", 0) != 0)
            continue;
        std::istringstream words(line.substr(6));
        bool afterOption = false;
        for (std::string word; words >> word;) {
            if (word[0] == '-') {
                afterOption = word.find('=') == std::string::npos;
                continue;
            }
            if (commands.count(word) == 0 && afterOption) {
                afterOption = false;
                continue;
            }
            ++examples;
            EXPECT_TRUE(commands.count(word)) << "the manual runs `rm7ux " << word << "`";
            break;
        }
    }
    EXPECT_GE(examples, 5);

#ifdef RM7UX_WINDOW_PATH
    const RunResult window = RunProgram({RM7UX_WINDOW_PATH, "--help"}, dir_.Path() + "/window",
                                        std::chrono::seconds(30));
    ASSERT_EQ(window.Status, 0);
    EXPECT_EQ(PreBlock(manual, "window-help"), WithoutFinalNewline(window.Out));
#endif
}

}  // namespace
