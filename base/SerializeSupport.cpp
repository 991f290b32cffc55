#include "base/SerializeSupport.h"

#include "base/StateFileReport.h"
#include "platform/DurableFile.h"
#include "platform/MessageBox.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* PromptText(UINT id)
{
    switch (id) {
    case IDP_SETTINGS_INVALID_FILENAME:
        return "The settings file name is not valid:\n%1";
    case IDP_SETTINGS_FAILED_TO_OPEN:
        return "The settings file could not be read:\n%1";
    case IDP_SETTINGS_FAILED_TO_SAVE:
        return "The settings file could not be saved:\n%1";
    case IDP_SETTINGS_INVALID_FORMAT:
        return "The settings file has an unexpected format (cut short or damaged); "
               "the previous settings are kept:\n%1";
    case IDP_SETTINGS_INVALID_PATH:
        return "The folder of the settings file does not exist:\n%1";
    case IDP_SETTINGS_DISK_FULL:
        return "The disk is full; the settings file could not be saved:\n%1";
    case IDP_SETTINGS_ACCESS_READ:
        return "Access denied; the settings file cannot be read:\n%1";
    case IDP_SETTINGS_ACCESS_WRITE:
        return "Access denied; the settings file cannot be written:\n%1";
    default:
        return "Settings file error:\n%1";
    }
}

std::string FormatPrompt(UINT id, std::string path)
{
    if (path.size() > 260)
        path.resize(260);
    std::string text = PromptText(id);
    const size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, path);
    return text;
}

}  // namespace

void CSerializeSupport::Serialize(CArchive&) {}

std::string CSerializeSupport::GetSettingsFolder() const
{
    return m_settingsFolder ? m_settingsFolder->Get() : std::string();
}

CFile* CSerializeSupport::OpenSettingsFile(const std::string& path, UINT flags, CFileException* error)
{
    auto file = std::make_unique<CFile>();
    if (!file->Open(path, flags, error))
        return nullptr;
    return file.release();
}

void CSerializeSupport::ReleaseSettingsFile(CFile* file, BOOL abort)
{
    if (file == nullptr)
        return;
    std::unique_ptr<CFile> owned(file);
    if (abort)
        owned->Abort();
    else
        owned->Close();
}

std::string CSerializeSupport::SettingsFileErrorText(const std::string& path, const std::exception* error, BOOL saving,
                                                     UINT defaultPromptId, UINT* promptId)
{
    UINT prompt = defaultPromptId;
    std::string detail;
    if (dynamic_cast<const CUserException*>(error) != nullptr)
        return {};
    if (const auto* archive = dynamic_cast<const CArchiveException*>(error)) {
        switch (archive->m_cause) {
        case CArchiveException::endOfFile:
        case CArchiveException::badIndex:
        case CArchiveException::badClass:
        case CArchiveException::badSchema:
            prompt = IDP_SETTINGS_INVALID_FORMAT;
            break;
        default:
            break;
        }
    } else if (const auto* file = dynamic_cast<const CFileException*>(error)) {
        switch (file->m_cause) {
        case CFileException::fileNotFound:
        case CFileException::badPath:
            prompt = IDP_SETTINGS_INVALID_PATH;
            break;
        case CFileException::accessDenied:
            prompt = saving ? IDP_SETTINGS_ACCESS_WRITE : IDP_SETTINGS_ACCESS_READ;
            break;
        case CFileException::diskFull:
            prompt = IDP_SETTINGS_DISK_FULL;
            break;
        default:
            // No prompt of its own: say what the system said.
            if (file->m_lOsError != 0)
                detail = std::strerror(file->m_lOsError);
            break;
        }
    }
    if (promptId != nullptr)
        *promptId = prompt;
    std::string text = FormatPrompt(prompt, path);
    if (!detail.empty())
        text += "\n" + detail;
    return text;
}

void CSerializeSupport::ReportSettingsFileError(const std::string& path, const std::exception* error, BOOL saving,
                                                UINT defaultPromptId)
{
    // Layouts are saved at exit too, where a box may go unseen: a lost save
    // also raises the alarm and leaves the path and the cause in the log.
    if (saving) {
        const auto* fileError = dynamic_cast<const CFileException*>(error);
        CStateFileReport::NotSaved(path, fileError ? fileError->m_lOsError : 0);
    }
    const std::string text = SettingsFileErrorText(path, error, saving, defaultPromptId);
    if (!text.empty())
        MessageBox(0, text, "Settings", MB_OK | MB_ICONEXCLAMATION);
}

BOOL CSerializeSupport::LoadSettings(const std::string& fileName)
{
    if (fileName.empty())
        return FALSE;
    const std::string path = GetSettingsFolder() + fileName;
    CFile* file = OpenSettingsFile(path, CFile::modeRead | CFile::shareDenyWrite, nullptr);
    if (file == nullptr)
        return FALSE;

    // The values before the load, to put back when the file proves bad.
    std::vector<BYTE> before;
    bool haveBefore = false;
    try {
        CArchive snapshot(before, CArchive::store);
        Serialize(snapshot);
        haveBefore = true;
    } catch (...) {
        haveBefore = false;
    }

    // Any failure, whatever Serialize throws: drop the file, put the old
    // values back, and tell the user.
    const auto failed = [&](const std::exception* error) {
        ReleaseSettingsFile(file, TRUE);
        if (haveBefore) {
            try {
                CArchive restore(before, CArchive::load);
                Serialize(restore);
            } catch (...) {
                // Serialize read back what it wrote a moment ago; if even
                // that fails there is nothing better to put back.
            }
        }
        ReportSettingsFileError(path, error, FALSE, IDP_SETTINGS_FAILED_TO_OPEN);
        return FALSE;
    };
    try {
        if (file->GetLength() != 0) {
            CArchive ar(file, CArchive::load | CArchive::bNoFlushOnDelete, 4096);
            Serialize(ar);
            ar.Close();
        }
        ReleaseSettingsFile(file, FALSE);
        return TRUE;
    } catch (const std::exception& e) {
        return failed(&e);
    } catch (...) {
        return failed(nullptr);
    }
}

BOOL CSerializeSupport::SaveSettings(const std::string& fileName)
{
    if (fileName.empty())
        return FALSE;
    const std::string path = GetSettingsFolder() + fileName;

    // A settings file made read-only on purpose stays as it is, although
    // renaming over it would be allowed.
    if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0) {
        const CFileException denied = CFileException::FromOsError(EACCES, path);
        ReportSettingsFileError(path, &denied, TRUE, IDP_SETTINGS_INVALID_FILENAME);
        return FALSE;
    }

    const size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        CDurableFile::RemoveStaleTemporaries(path.substr(0, slash), path.substr(slash + 1));
    const std::string temporary = CDurableFile::TemporaryName(path);
    CFileException openError;
    CFile* file =
        OpenSettingsFile(temporary, CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive, &openError);
    if (file == nullptr) {
        openError.m_strFileName = path;
        ReportSettingsFileError(path, &openError, TRUE, IDP_SETTINGS_INVALID_FILENAME);
        return FALSE;
    }

    // The new file takes the place of the old one with its permissions.
    struct stat old
    {};
    if (stat(path.c_str(), &old) == 0)
        fchmod(file->Handle(), old.st_mode & 07777);

    const auto failed = [&](const std::exception* error) {
        ReleaseSettingsFile(file, TRUE);
        unlink(temporary.c_str());
        ReportSettingsFileError(path, error, TRUE, IDP_SETTINGS_FAILED_TO_SAVE);
        return FALSE;
    };
    try {
        {
            CArchive ar(file, CArchive::store | CArchive::bNoFlushOnDelete, 4096);
            Serialize(ar);
            ar.Close();
        }
        file->Flush();
        file->Close();
        if (std::rename(temporary.c_str(), path.c_str()) != 0)
            throw CFileException::FromOsError(errno, path);
        ReleaseSettingsFile(file, FALSE);
        CDurableFile::SyncFolderOf(path);
        return TRUE;
    } catch (const std::exception& e) {
        return failed(&e);
    } catch (...) {
        return failed(nullptr);
    }
}
