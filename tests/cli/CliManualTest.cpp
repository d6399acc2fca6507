// The manual's command-line section is the program's: its copies of `rm7ux --help` and of the
// window's --help are what the programs print, and every command its examples run exists.

#include <regex>
#include <set>

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

    // The commands --help lists, and every one the manual's examples run is among them.
    std::set<std::string> commands;
    const std::regex listed(R"(\n  ([a-z]+) )");
    const size_t list = help.Out.find("Commands:");
    ASSERT_NE(list, std::string::npos);
    for (std::sregex_iterator
             it(help.Out.begin() + static_cast<long>(list), help.Out.end(), listed),
         end;
         it != end; ++it)
        commands.insert((*it)[1]);
    EXPECT_TRUE(commands.count("watch") && commands.count("history") && commands.count("ports"));
    const std::regex example(
        R"((?:^|\n)rm7ux((?: +-{1,2}[a-z]+(?:[ =](?!-)[^ \n]+)?)*) +([a-z]+))");
    int examples = 0;
    for (std::sregex_iterator it(manual.begin(), manual.end(), example), end; it != end; ++it) {
        ++examples;
        EXPECT_TRUE(commands.count((*it)[2])) << "the manual runs `rm7ux " << (*it)[2] << "`";
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
