// The words of VK_CMD.exe's lines: why a grant stops, and what an audit
// found.
#pragma once

#include "access_rights.h"
#include "console_output.h"
#include "vksvc.h"

#include <string>

const wchar_t kNoApplicationFolders[] =
    L"フォルダのアクセス権変更が必要なVESKA財務・税務アプリケーションは使用されていません。";
// What the folder dialog refuses before any grant.
const wchar_t kWholeDriveRefused[] = L"ドライブ全体のアクセス権を変更することはできません。";
const wchar_t kReadAsOtherRefused[] =
    L"Windows が別の名前として読むパス（末尾の . や空白、..、/ など）のため、設定しません。";

// Why the library's grant ended with `status` (not 0), as a sentence.
std::wstring ReasonOf(LONG status);

// The outcome of an audited folder: Left when a grant would leave an object
// and so end in an error, otherwise Due when it would change a DACL.
Outcome OutcomeOf(const GrantAudit& audit);

// What a grant would change and leave, as sentences.
std::wstring DescribeAudit(const GrantAudit& audit);
