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
            Restore("XDG_CONFIG_HOME", oldXdg_);
            Restore("XDG_DATA_HOME", oldData_);
            Restore("XDG_STATE_HOME", oldState_);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // The change history ($XDG_DATA_HOME) and the journal of operations in flight
    // ($XDG_STATE_HOME) too go here, never into the user's own.
    void PointConfigHere() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        oldXdg_ = old != nullptr ? old : "";
        const char* oldData = std::getenv("XDG_DATA_HOME");
        oldData_ = oldData != nullptr ? oldData : "";
        const char* oldState = std::getenv("XDG_STATE_HOME");
        oldState_ = oldState != nullptr ? oldState : "";
        pointed_ = true;
        setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
        setenv("XDG_STATE_HOME", (path_ + "/state").c_str(), 1);
    }

  private:
    static void Restore(const char* name, const std::string& old) {
        if (old.empty())
            unsetenv(name);
        else
            setenv(name, old.c_str(), 1);
    }

    std::string path_;
    std::string oldXdg_, oldData_, oldState_;
    bool pointed_ = false;
};
