#pragma once

#include "app_title.h"

#include <windows.h>

#include <string>

// A modal message box with the application title; its result (IDOK, IDYES...).
int ShowMessage(HWND owner, const std::wstring& text, UINT style);
