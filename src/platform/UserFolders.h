#pragma once
// Where this user's settings live: $XDG_CONFIG_HOME (or ~/.config) / KorvaTech /...

#include <string>

// $XDG_CONFIG_HOME when set and absolute, else $HOME/.config (no trailing separator).
std::string UserConfigHome();
// $XDG_DATA_HOME when set and absolute, else $HOME/.local/share (no trailing separator).
std::string UserDataHome();
// $XDG_STATE_HOME when set and absolute, else $HOME/.local/state (no trailing separator).
std::string UserStateHome();
// The folder that holds COMn links to real devices.
std::string PortsFolder();
// The per-user store (the registry's place on Linux).
std::string UserStoreFileName();
// Folder of the running executable, with its trailing separator.
std::string ExecutableFolder();
