#include "reasons.h"

#include "number_text.h"

namespace {

struct StatusReason {
    LONG status;
    const wchar_t* reason;
};

const StatusReason kReasons[] = {
    {kGrantReadFailed, L"フォルダが存在しないか、開けません。"},
    {kGrantMergeFailed, L"アクセス権を組み立てられませんでした。"},
    {kGrantWriteFailed, L"アクセス権を読み書きできないものがあります。"},
    {kGrantNotFixedAclDrive, L"ローカルの固定 NTFS ドライブにないため、設定しません。"},
    {kGrantApiMissing, L"Windows の関数が見つかりません。"},
    {kGrantLinkRefused, L"リンク、リンクを通るパス、または別名のあるファイルが含まれるため、そのまま残ります。"},
    {kGrantBackupRefused, L"変更前のアクセス権の控えを Windows フォルダの VK_DACL に保存できないため、"
                          L"何も変更していません（管理者以外が作成または変更できるフォルダは使いません）。"},
};

// " 種類 N 個" for each kind found, joined by 、.
void AddCount(std::wstring& list, const wchar_t* kind, long number)
{
    if (number == 0)
        return;
    if (!list.empty())
        list += L"、";
    list += kind + (L" " + DecimalText(number) + L" 個");
}

} // namespace

std::wstring ReasonOf(LONG status)
{
    for (const StatusReason& entry : kReasons)
        if (entry.status == status)
            return entry.reason;
    return L"設定処理でエラーが発生しました。(" + DecimalText(status) + L")";
}

Outcome OutcomeOf(const GrantAudit& audit)
{
    const WalkCounts& below = audit.below;
    if (below.links + below.otherNames + below.unreached > 0)
        return Outcome::Left;
    return audit.folderDue || below.due > 0 ? Outcome::Due : Outcome::Ok;
}

std::wstring DescribeAudit(const GrantAudit& audit)
{
    const WalkCounts& below = audit.below;
    std::wstring text;
    if (audit.folderDue || below.due > 0) {
        text = audit.folderDue ? L"このフォルダ" : L"";
        if (below.due > 0)
            text += (audit.folderDue ? L"と下位の " : L"下位の ") + DecimalText(below.due) +
                    L" 個";
        text += L"に設定が必要です。";
    } else {
        text = L"設定済みです。";
    }
    std::wstring left;
    AddCount(left, L"リンク", below.links);
    AddCount(left, L"別名のあるファイル", below.otherNames);
    AddCount(left, L"開けないもの", below.unreached);
    if (!left.empty())
        text += L"設定しても残るもの: " + left + L"。";
    if (below.protectedDacls > 0)
        text += L"保護されたアクセス権のもの " + DecimalText(below.protectedDacls) +
                L" 個には、引き継がれません。";
    // A provider (cloud sync) fills such a folder: the grant writes it and
    // does not go in, so what is inside keeps what it has.
    if (below.unentered > 0)
        text += L"提供元が中身を管理するフォルダ " + DecimalText(below.unentered) +
                L" 個は、そのフォルダだけに設定します。";
    return text;
}
