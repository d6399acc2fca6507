#pragma once
// The current user's registry, kept as an INI file: the program's key
// "\Software\KorvaTech\CFG_RM7UX_Radio" is the store file UserStoreFileName() and each subkey
// below it a section ("...\Serial" is [Serial]); the program's key itself is [General].

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Exception.h"

class ERegistryException : public Exception {
  public:
    using Exception::Exception;
};

class TRegistry {
  public:
    TRegistry();
    // A store in another file (tests, tools).
    explicit TRegistry(std::string storeFileName);
    virtual ~TRegistry() = default;

    // A key beginning with "\" is taken from the root, others below the open key. False for a key
    // outside the program's own, or one that does not exist and may not be created. A created
    // key appears in the store with its first value.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key);
    void CloseKey();
    // The open key's path from the root ("\Software\..."), empty when none is open.
    const std::string& CurrentPath() const { return currentPath_; }

    bool ValueExists(std::string_view name) const;
    // Raise ERegistryException when no key is open, the value is absent or not an integer.
    int32_t ReadInteger(std::string_view name) const;
    std::string ReadString(std::string_view name) const;
    // Raise ERegistryException when no key is open for writing or the store cannot be written.
    void WriteInteger(std::string_view name, int32_t value);
    void WriteString(std::string_view name, std::string_view value);

    const std::string& StoreFileName() const { return storeFileName_; }

  private:
    std::optional<std::string> ValueText(std::string_view name) const;

    std::string storeFileName_;
    std::string currentPath_;
    std::string section_;
    bool writable_ = false;
};
