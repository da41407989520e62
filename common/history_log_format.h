// The history log VK_XP.log in the Windows folder, as the library (the main
// window's grants) and the utility (the folder dialog's) write it and the
// history view shows it: a profile file of one section, whose keys are the
// granted folders and whose values say for what each was granted. The texts
// are literals so that one spelling gives both the library's ANSI form and
// the utility's wide one (L"" VK_HISTORY_SECTION).
#pragma once

#define VK_HISTORY_LOG_FILE "VK_XP.log"
#define VK_HISTORY_SECTION "アクセス権追加フォルダ一覧"
// The label of a folder that the folder dialog granted.
#define VK_HISTORY_ADDED_FOLDER "追加フォルダ"

// The lines as the profile functions write them, CR LF after each: the
// section's header, then one "folder=label" per record.
#define VK_HISTORY_SECTION_LINE "[" VK_HISTORY_SECTION "]\r\n"

template <typename Text>
Text HistoryLine(const Text& folder, const Text& label)
{
    return folder + Text(1, '=') + label + Text(1, '\r') + Text(1, '\n');
}
