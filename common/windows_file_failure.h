// Why the library could not read an applications' ini file of the Windows
// folder or write the history log: found by the library, said by the
// programs. SetVeskaFolder names the first ini file it could not read in its
// status, so that the window, which has no other way to learn it, can say
// which one and why.
#pragma once

enum WindowsFileFailure : long {
    kFileUsable = 0,
    kFileShared = 1,   // another program holds it open without sharing
    kFileLocked = 2,   // another program locked a range of its bytes
    kFileDenied = 3,   // access denied
    kFileOplocked = 4, // another program's oplock was not released in time
    kFileFailed = 5,   // any other failure to open, read or write it
    kFileAbsent = 6,   // not there: not a failure, the file names nothing
};

// The ini files that name the applications' folders, in the order the
// library reads them; its status says a file by its place here.
const char* const kApplicationIniFiles[] = {
    "appRC02.ini", "QX_LEDG.ini", "appRB02.ini", "appRA01.ini",
    "QX_ADVS.ini", "QX_DBE32.ini", "LW_DBE32.ini",
};
const int kApplicationIniCount = sizeof kApplicationIniFiles / sizeof kApplicationIniFiles[0];

// SetVeskaFolder's status when the ini file at `file` could not be read for
// `failure`: below every grant status, one per file and failure.
const long kUnreadableIniBase = -1000;
const long kFailuresPerFile = 10;

inline long UnreadableIniStatus(int file, long failure)
{
    return kUnreadableIniBase - file * kFailuresPerFile - failure;
}

// False when `status` is not such a status.
inline bool ReadUnreadableIniStatus(long status, int& file, long& failure)
{
    const long place = kUnreadableIniBase - status;
    if (status > kUnreadableIniBase || place >= kApplicationIniCount * kFailuresPerFile)
        return false;
    file = static_cast<int>(place / kFailuresPerFile);
    failure = place % kFailuresPerFile;
    return failure >= kFileShared && failure <= kFileFailed;
}

// Why, as the programs say it: one sentence per failure, after the file's
// name.
inline const wchar_t* FileFailureText(long failure)
{
    switch (failure) {
    case kFileShared:
        return L"ほかのプログラムが共有を許さずに開いています。";
    case kFileLocked:
        return L"ほかのプログラムがファイルの一部をロックしています。";
    case kFileDenied:
        return L"アクセスが拒否されました。";
    case kFileOplocked:
        return L"ほかのプログラムが開いたまま、2 秒待っても手放しませんでした (oplock)。";
    default:
        return L"開けないか、読み書きできませんでした。";
    }
}
