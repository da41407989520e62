#pragma once

#include <windows.h>

#include <string>

// The text that the history view shows for the bytes of the history log
// (ANSI text): every line of the file, each followed by an empty line.
// Lines end at CR LF or at a lone CR. Linear in the size of the log.
std::wstring BuildHistoryText(const std::string& logBytes);

// Reads a whole open file from its current position; false when it cannot be read.
bool ReadWholeFile(HANDLE file, std::string& bytes);
