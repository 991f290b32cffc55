// Settings of one object kept in a file of its own in the settings folder
// it was given.
//
// A deriving class overrides Serialize to write or read its fields in a fixed
// order; this class finds the file, runs the archive and tells the user what
// went wrong. Two guarantees go beyond a plain archive round trip:
// - A save writes a new file beside the old one, makes it durable and only
//   then renames it over the old one, so a failed save (full disk, an error
//   half way through Serialize) leaves the previous settings in place.
// - A load that fails half way puts back the values the object had before,
//   so it never runs with half of one file and half of its old settings.
#pragma once

#include "base/Archive.h"
#include "base/File.h"
#include "base/SettingsFolder.h"
#include "platform/WinTypes.h"

#include <exception>
#include <string>

// Prompts of settings-file failures; the id also serves as help context.
constexpr UINT IDP_SETTINGS_INVALID_FILENAME = 0xF100;
constexpr UINT IDP_SETTINGS_FAILED_TO_OPEN = 0xF101;
constexpr UINT IDP_SETTINGS_FAILED_TO_SAVE = 0xF102;
constexpr UINT IDP_SETTINGS_INVALID_FORMAT = 0xF120;
constexpr UINT IDP_SETTINGS_INVALID_PATH = 0xF121;
constexpr UINT IDP_SETTINGS_DISK_FULL = 0xF122;
constexpr UINT IDP_SETTINGS_ACCESS_READ = 0xF123;
constexpr UINT IDP_SETTINGS_ACCESS_WRITE = 0xF124;

class CSerializeSupport
{
public:
    // File paths are the folder's text followed directly by the file name;
    // without a folder, the file name alone.
    explicit CSerializeSupport(const CSettingsFolder* folder = nullptr) : m_settingsFolder(folder) {}
    virtual ~CSerializeSupport() = default;

    // Writes or reads the object's fields; the base has none.
    virtual void Serialize(CArchive& ar);

    // TRUE when the file was opened and read (an empty file reads as
    // nothing changed); FALSE for an empty name, a file that does not open
    // (silently) or a read that failed (reported).
    BOOL LoadSettings(const std::string& fileName);
    // TRUE when the file was written and is in place; FALSE otherwise
    // (reported, except for an empty name).
    BOOL SaveSettings(const std::string& fileName);

    // The folder's text now; empty without a folder.
    std::string GetSettingsFolder() const;

    // The text a failure is shown with; empty when nothing is to be shown
    // (a user exception has been reported already). Exposed for the
    // callers that report on their own.
    static std::string SettingsFileErrorText(const std::string& path, const std::exception* error, BOOL saving,
                                             UINT defaultPromptId, UINT* promptId = nullptr);

    std::string m_strFileName;
    std::string m_strFileName2;

protected:
    // A new file object opened with the flags, or null (error filled).
    static CFile* OpenSettingsFile(const std::string& path, UINT flags, CFileException* error);
    // Closes (or, with abort, drops) the file and deletes the object.
    static void ReleaseSettingsFile(CFile* file, BOOL abort);
    // Shows the failure in a message box with the exclamation icon.
    static void ReportSettingsFileError(const std::string& path, const std::exception* error, BOOL saving,
                                        UINT defaultPromptId);

private:
    const CSettingsFolder* m_settingsFolder;
};
