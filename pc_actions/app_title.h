// The name the programs give themselves: every message box's title, and
// the name in the refusal when another copy runs.
#pragma once

const wchar_t kAppTitle[] = L"VESKA Windows ユーティリティ";
