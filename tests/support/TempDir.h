#pragma once
// A temporary folder for one test, removed with everything in it afterwards. With
// PointConfigHere() the per-user settings and ports folder live inside it.

#include <cstdlib>
#include <filesystem>
#include <string>

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rm7ux-test-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        path_ = made != nullptr ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        if (pointed_) {
            if (oldXdg_.empty()) {
                unsetenv("XDG_CONFIG_HOME");
            } else {
                setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
            }
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    void PointConfigHere() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        oldXdg_ = old != nullptr ? old : "";
        pointed_ = true;
        setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
    }

  private:
    std::string path_;
    std::string oldXdg_;
    bool pointed_ = false;
};
