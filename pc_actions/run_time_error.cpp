#include "run_time_error.h"

#include "ansi_argument.h"
#include "binding_table.h"
#include "number_text.h"

#include <exception>
#include <string>

namespace {

std::wstring Widen(const std::string& text)
{
    return FromAnsi(text.data(), text.size());
}

// Naming the library and the function.
std::wstring DescribeBindingError(const BindingError& error)
{
    const std::wstring library = Widen(error.library());
    const std::wstring function = Widen(error.exportName());
    if (error.kind() == BindingError::kFileNotFound)
        return L"実行時エラー '53':\r\n\r\nファイルが見つかりません: " + library + L"\r\n(" +
               function + L" の呼び出し)";
    return L"実行時エラー '453':\r\n\r\nDLL エントリ ポイント " + function + L" が " + library +
           L" に見つかりません。";
}

} // namespace

std::wstring DescribeCurrentError()
{
    try {
        throw;
    } catch (const BindingError& error) {
        return DescribeBindingError(error);
    } catch (const RunTimeError& error) {
        return L"実行時エラー '" + DecimalText(error.Number()) + L"':\r\n\r\n" +
               error.Description();
    } catch (const std::bad_alloc&) {
        return L"実行時エラー '7':\r\n\r\nメモリが不足しています。";
    } catch (const std::exception& error) {
        return L"実行時エラー:\r\n\r\n" + Widen(error.what());
    } catch (...) {
        return L"実行時エラー";
    }
}
