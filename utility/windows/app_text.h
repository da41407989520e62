// Texts that more than one window of the utility shows.
#pragma once

const wchar_t kSettingFailed[] = L"設定処理でエラーが発生しました。";
const wchar_t kSettingDone[] = L"設定処理は終了しました。";
