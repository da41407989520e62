#include "application_folders.h"

#include "access_rights.h"
#include "ansi_argument.h"
#include "veska_folders.h"
#include "windows_files.h"

#include <cstring>

namespace {

std::wstring Wide(const char* ansi)
{
    return FromAnsi(ansi, std::strlen(ansi));
}

class FolderList : public VeskaFolderVisitor {
public:
    explicit FolderList(std::vector<ApplicationFolder>& folders) : folders_(folders) {}

    void Existing(const char* folder, const GrantLabel& label) override { Add(folder, label, false); }
    void Missing(const char* folder, const GrantLabel& label) override { Add(folder, label, true); }
    void Unreadable(const char* iniPath, const char*, const GrantLabel& label,
                    long failure) override
    {
        Add(iniPath, label, false, failure);
    }

private:
    void Add(const char* folder, const GrantLabel& label, bool missing,
             long unreadable = kFileUsable)
    {
        folders_.push_back({folder, Wide(folder), Wide(label.success), Wide(label.failure), missing,
                            unreadable});
    }

    std::vector<ApplicationFolder>& folders_;
};

} // namespace

std::vector<ApplicationFolder> ListApplicationFolders()
{
    std::vector<ApplicationFolder> folders;
    FolderList list(folders);
    WindowsFiles files(SystemLoader());
    VisitVeskaFolders(files, list);
    return folders;
}

bool IsOnFixedAclDrive(const std::string& ansiPath)
{
    return ChkAclDrive(ansiPath.substr(0, 3).c_str());
}

std::wstring UnreadableText(const std::wstring& label, long failure)
{
    return label + L"：このファイルを読めません。" + FileFailureText(failure);
}
