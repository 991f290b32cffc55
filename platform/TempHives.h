// For tests: points the three registry hives at a fresh temporary folder for
// the life of the object, and puts everything back afterwards.
//
//   TEST(Settings, Something) {
//       CTempHives hives;   // empty user, machine and classes hives
//       ...
//   }
//
// Child processes started meanwhile inherit the variables and so use the
// same hives.
#pragma once

#include "platform/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

class CTempHives
{
public:
    CTempHives()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zvhives.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("CTempHives: cannot create " + pattern);
        m_Folder = pattern;
        for (int i = 0; i < kCount; ++i) {
            const char* old = std::getenv(kVariables[i]);
            if (old)
                m_Saved[i] = old;
            ::setenv(kVariables[i], (m_Folder + "/" + kFiles[i]).c_str(), 1);
        }
        RegistryResetStore();
    }

    ~CTempHives()
    {
        RegistryResetStore();
        for (int i = 0; i < kCount; ++i) {
            if (m_Saved[i]) {
                ::setenv(kVariables[i], m_Saved[i]->c_str(), 1);
            } else {
                ::unsetenv(kVariables[i]);
            }
        }
        std::error_code ec;
        std::filesystem::remove_all(m_Folder, ec);
    }

    CTempHives(const CTempHives&) = delete;
    CTempHives& operator=(const CTempHives&) = delete;

    const std::string& Folder() const { return m_Folder; }
    std::string UserHive() const { return m_Folder + "/" + kFiles[0]; }
    std::string MachineHive() const { return m_Folder + "/" + kFiles[1]; }
    std::string ClassesHive() const { return m_Folder + "/" + kFiles[2]; }

private:
    static constexpr int kCount = 3;
    static constexpr const char* kVariables[kCount] = {"ZELVAR_USER_HIVE", "ZELVAR_MACHINE_HIVE",
                                                       "ZELVAR_CLASSES_HIVE"};
    static constexpr const char* kFiles[kCount] = {"user.db", "machine.db", "classes.db"};

    std::string m_Folder;
    std::optional<std::string> m_Saved[kCount];
};
