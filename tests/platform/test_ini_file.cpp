#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "platform/IniFile.h"

namespace {

void Put(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t EntriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

TEST(IniFile, Reads) {
    TempDir dir;
    std::string file = dir.File("a.ini");
    const std::string big(1 << 20, 'x');
    Put(file, std::string("Orphan=1\n"
                          "[Serial]\r\n"
                          "  CommPort  =  7 \r\n"
                          "Empty=\n"
                          "no equals sign here\n"
                          "; Hidden=1\n"
                          "Dup=first\n"
                          "Dup=second\n"
                          "[ other SECTION ]\n"
                          "Bin=a\x01\xff") +
                  std::string("\0z", 2) +
                  "\n"
                  "Big=" +
                  big +
                  "\n"
                  "[serial]\n"
                  "Dup=third\n"
                  "Late=yes\n"
                  "[Tail]\n"
                  "Last=no line end");
    TIniFile ini(file);
    struct Case {
        const char *section, *key;
        std::string expected;
    };
    const Case cases[] = {
        {"SERIAL", "commport", "7"},
        {"Serial", "Empty", ""},
        {"Serial", "no equals sign here", "-"},
        {"Serial", "; Hidden", "-"},
        {"Serial", "Dup", "first"},  // first of duplicate keys and sections
        {"serial", "Late", "yes"},   // a later duplicate section still adds its keys
        {"Serial", "Orphan", "-"},   // lines before any section belong to none
        {"Other Section", "Bin", std::string("a\x01\xff\0z", 5)},
        {"Tail", "Last", "no line end"},
        {"Absent", "CommPort", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, "-"), c.expected) << c.section << c.key;
    }
    EXPECT_EQ(ini.ReadString("other section", "big", ""), big);
    EXPECT_EQ(ini.ReadInteger("Serial", "CommPort", 1), 7);
    EXPECT_EQ(ini.ReadInteger("Serial", "Dup", 1), 1);
    EXPECT_TRUE(ini.SectionExists("TAIL"));
    EXPECT_FALSE(ini.SectionExists("Orphan"));
    EXPECT_TRUE(ini.ValueExists("serial", "empty"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Serial", "other SECTION", "Tail"}));
    EXPECT_EQ(ini.ReadSection("Serial"),
              (std::vector<std::string>{"CommPort", "Empty", "Dup", "Late"}));
}

TEST(IniFile, AbsentAndUnreadableFilesHaveNoKeys) {
    TempDir dir;
    EXPECT_EQ(TIniFile(dir.File("none.ini")).ReadString("S", "K", "d"), "d");
    EXPECT_EQ(TIniFile(dir.Path()).ReadString("S", "K", "d"), "d");  // a folder
    EXPECT_FALSE(TIniFile(dir.File("none.ini")).SectionExists("S"));
}

TEST(IniFile, WritesChangeOnlyTheirLine) {
    struct Step {
        const char *section, *key, *value;  // value nullptr: delete the key
    };
    struct Case {
        const char* name;
        std::string before;
        std::vector<Step> steps;
        std::string after;
    };
    const Case cases[] = {
        {"new file", "", {{"Configuration", "SC", "$0A"}}, "[Configuration]\r\nSC=$0A\r\n"},
        {"in place, LF becomes CR LF",
         "; head\n[A]\nx=1\nK = old ;c\ny=2\n",
         {{"a", "k", "new"}},
         "; head\r\n[A]\r\nx=1\r\nk=new\r\ny=2\r\n"},
        {"a lone CR ends a line, inside a value too",
         "[A]\rx=1\rRV=n\rn\r\n",
         {{"A", "x", "2"}},
         "[A]\r\nx=2\r\nRV=n\r\nn\r\n"},
        {"appended before the blank lines",
         "[A]\r\nx=1\r\n\r\n[B]\r\ny=2",
         {{"A", "z", "3"}, {"B", "w", "4"}},
         "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n"},
        {"new section at the end", "[A]\nx=1\n", {{"B", "y", "2"}}, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"first duplicate section",
         "[A]\nx=1\n[A]\ny=2\n",
         {{"A", "z", "3"}, {"A", "y", "9"}},
         "[A]\r\nx=1\r\nz=3\r\n[A]\r\ny=9\r\n"},
        {"delete", "[A]\nx=1\nx=2\ny=3\n", {{"A", "X", nullptr}}, "[A]\r\nx=2\r\ny=3\r\n"},
        {"line breaks cannot add lines",
         "",
         {{"A", "k", "1\r\n[B]\nz=2"}},
         "[A]\r\nk=1  [B] z=2\r\n"},
        {"empty section header", "[]\nk=1\n", {{"", "k", "2"}}, "[]\r\nk=2\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string file = dir.File("w.ini");
        if (!c.before.empty())
            Put(file, c.before);
        TIniFile ini(file);
        for (const auto& s : c.steps) {
            if (s.value != nullptr) {
                ini.WriteString(s.section, s.key, s.value);
            } else {
                ini.DeleteKey(s.section, s.key);
            }
        }
        EXPECT_EQ(Get(file), c.after) << c.name;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << c.name << ": temporary file left behind";
    }
}

TEST(IniFile, DeleteKeyOfAbsentFileCreatesNothing) {
    TempDir dir;
    TIniFile ini(dir.File("none.ini"));
    ini.DeleteKey("A", "k");
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.ini")));
    ini.WriteInteger("A", "n", -5);
    EXPECT_EQ(ini.ReadInteger("a", "N", 0), -5);
}

TEST(IniFile, KeepsPermissionsAndLinks) {
    TempDir dir;
    std::string file = dir.File("real.ini");
    Put(file, "[A]\nk=1\n");
    chmod(file.c_str(), 0640);
    std::filesystem::create_symlink(file, dir.File("link.ini"));
    TIniFile(dir.File("link.ini")).WriteString("A", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
    EXPECT_EQ(Get(file), "[A]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

void ExpectWriteFails(const std::string& file) {
    try {
        TIniFile(file).WriteString("A", "k", "new");
        ADD_FAILURE() << "no exception writing " << file;
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + file);
    }
}

TEST(IniFile, FailedWriteRaisesAndLeavesTheOldFile) {
    TempDir dir;
    // A parent that is a file stops even root.
    Put(dir.File("plain"), "x");
    ExpectWriteFails(dir.File("plain") + "/a.ini");

    // A file that exists but cannot be read is not replaced by one holding a single key.
    ExpectWriteFails(dir.Path());
}

TEST(IniFile, WriteCutShortLeavesTheOldFile) {
    TempDir dir;
    std::string file = dir.File("a.ini");
    std::string old = "[A]\r\nk=old\r\n" + std::string(8192, ';') + "\r\n";
    Put(file, old);
    // A file size limit makes the temporary file's write fail part way, for root too.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectWriteFails(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(Get(file), old);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(IniFile, UnwritableFolderLeavesTheOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    TempDir dir;
    std::string folder = dir.File("ro");
    std::filesystem::create_directory(folder);
    std::string file = folder + "/a.ini";
    Put(file, "[A]\nk=old\n");
    chmod(folder.c_str(), 0555);
    ExpectWriteFails(file);
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(Get(file), "[A]\nk=old\n");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

}  // namespace
