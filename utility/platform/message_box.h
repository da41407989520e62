#pragma once

#include <windows.h>

#include <string>

// Title of every message box of the utility.
const wchar_t kAppTitle[] = L"VESKA Windows ユーティリティ";

// A modal message box with the application title; its result (IDOK, IDYES...).
int ShowMessage(HWND owner, const std::wstring& text, UINT style);
