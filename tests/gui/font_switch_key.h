// Where the utility keeps the fixed-pitch font switch, as the tests reach it.
#pragma once

namespace gui {

// GRE_Initialize under HKEY_LOCAL_MACHINE.
constexpr char kFontKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize";
constexpr char kFontValue[] = "Jpn98FixPitch";

} // namespace gui
