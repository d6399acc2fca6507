#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "common/StrUtils.h"

namespace {

// "[name]" (blanks allowed around and inside); a header without "]" still names a section.
bool SectionHeader(std::string_view line, std::string_view& name) {
    std::string_view t = TrimView(line);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']', 1);
    name =
        TrimView(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

// "key=value"; comment lines (";") and lines without "=" or without a key name are not keys.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = TrimView(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = TrimView(t.substr(0, eq));
    if (key.empty())
        return false;
    value = TrimView(t.substr(eq + 1));
    return true;
}

// A line break inside a name or value would smuggle extra lines (keys, sections) into the file.
std::string OneLine(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return r;
}

void AddDistinct(std::vector<std::string>& names, std::string_view name) {
    for (const auto& n : names) {
        if (SameText(n, name))
            return;
    }
    names.emplace_back(name);
}

bool FileAbsent(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

}  // namespace

TIniText::TIniText(std::string_view content) {
    // Editors on Windows begin a UTF-8 file with a byte-order mark; it is not part of a line.
    // Every leading one goes, so that what is read and written back reads the same again.
    while (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);
    // CR LF, LF and a lone CR (old Mac editors) each end a line: no value ever holds a line end,
    // so what Load reads, Save writes back the same.
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = content.size();
        lines_.emplace_back(content.substr(start, end - start));
        start = end + 1;
        if (end < content.size() && content[end] == '\r' && start < content.size() &&
            content[start] == '\n')
            ++start;
    }
}

std::optional<std::string> TIniText::Find(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const auto& line : lines_) {
        std::string_view name, k, v;
        if (SectionHeader(line, name)) {
            inSection = SameText(name, section);
        } else if (inSection && KeyLine(line, k, v) && SameText(k, key)) {
            return std::string(v);
        }
    }
    return std::nullopt;
}

bool TIniText::HasSection(std::string_view section) const {
    for (const auto& line : lines_) {
        std::string_view name;
        if (SectionHeader(line, name) && SameText(name, section))
            return true;
    }
    return false;
}

std::vector<std::string> TIniText::Sections() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        std::string_view name;
        if (SectionHeader(line, name))
            AddDistinct(names, name);
    }
    return names;
}

std::vector<std::string> TIniText::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    bool inSection = false;
    for (const auto& line : lines_) {
        std::string_view name, k, v;
        if (SectionHeader(line, name)) {
            inSection = SameText(name, section);
        } else if (inSection && KeyLine(line, k, v)) {
            AddDistinct(keys, k);
        }
    }
    return keys;
}

void TIniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string keyLine = OneLine(key) + "=" + OneLine(value);
    bool inSection = false;
    bool inFirst = false;
    size_t insertAt = 0;
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name, k, v;
        const std::string& line = lines_[i];
        if (SectionHeader(line, name)) {
            inSection = SameText(name, section);
            inFirst = inSection && !found;
            if (inFirst) {
                found = true;
                insertAt = i + 1;
            }
        } else if (inSection && KeyLine(line, k, v) && SameText(k, key)) {
            lines_[i] = keyLine;
            return;
        } else if (inFirst && !TrimView(line).empty()) {
            // New keys go after the section's last line, before the blank lines that part it
            // from the next section.
            insertAt = i + 1;
        }
    }
    if (found) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), keyLine);
    } else {
        lines_.push_back("[" + OneLine(section) + "]");
        lines_.push_back(keyLine);
    }
}

bool TIniText::Remove(std::string_view section, std::string_view key) {
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name, k, v;
        if (SectionHeader(lines_[i], name)) {
            inSection = SameText(name, section);
        } else if (inSection && KeyLine(lines_[i], k, v) && SameText(k, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

std::string TIniText::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    auto value = Load().Find(section, key);
    return value ? *value : std::string(defaultValue);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    auto value = Load().Find(section, key);
    if (!value)
        return defaultValue;
    return TryStrToInt(*value).value_or(defaultValue);
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Load().HasSection(section);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return Load().Find(section, key).has_value();
}

std::vector<std::string> TIniFile::ReadSections() const {
    return Load().Sections();
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    return Load().Keys(section);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    TIniText text = LoadForUpdate();
    text.Set(section, key, value);
    Store(text);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (FileAbsent(fileName_))
        return;
    TIniText text = LoadForUpdate();
    if (text.Remove(section, key))
        Store(text);
}

TIniText TIniFile::Load() const {
    // Profile files are a few hundred bytes. One of 100 MB (a settings file or the per-user
    // store gone wrong) reads as empty, rather than being read in full for every key.
    constexpr size_t kMaxProfileSize = 16 * 1024 * 1024;
    auto content = ReadWholeFile(fileName_, kMaxProfileSize);
    return content && content->size() <= kMaxProfileSize ? TIniText(*content) : TIniText();
}

TIniText TIniFile::LoadForUpdate() const {
    if (FileAbsent(fileName_))
        return TIniText();
    // Rewriting a file that could not be read would throw its content away.
    auto content = ReadWholeFile(fileName_);
    if (!content)
        throw EIniFileException("Unable to write to " + fileName_);
    return TIniText(*content);
}

void TIniFile::Store(const TIniText& text) const {
    if (!WriteFileAtomically(fileName_, text.Text())) {
        throw EIniFileException("Unable to write to " + fileName_);
    }
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxSize) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string content;
    char buf[65536];
    while (content.size() <= maxSize) {
        ssize_t n = read(fd, buf, std::min(sizeof buf, maxSize + 1 - content.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return content;
}

bool WriteFileAtomically(const std::string& path, std::string_view content) {
    std::string target = path;
    std::error_code ec;
    // A link keeps pointing at its file: the file behind it is replaced, not the link.
    if (std::filesystem::is_symlink(path, ec)) {
        target = std::filesystem::weakly_canonical(path, ec).string();
        if (ec)
            return false;
    }
    struct stat old {};
    bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return false;

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // snprintf, not to_string: the fuzzers see the same code path whatever the process id.
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".tmp%ld.%u", static_cast<long>(getpid()), counter++);
        temp = target + suffix;
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // Keep the old file's permissions; a new file gets the umask's.
    if (hadOld)
        (void)fchmod(fd, old.st_mode & 07777);

    bool ok = true;
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // The data must be on the disk before the rename makes it the file.
    if (ok && fsync(fd) != 0)
        ok = false;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(temp.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}
