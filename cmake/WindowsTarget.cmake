# Compiler and linker settings shared by every binary of the toolkit.

# Windows 2000 is the oldest system the binaries must load on.
add_compile_definitions(WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500
                        WIN32_LEAN_AND_MEAN NOMINMAX)
add_compile_options(-Wall -Wextra)
# Windows's own C runtime (msvcrt) formats and scans; MinGW's replacement
# would triple the size of the library.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=0)

# Static C and C++ runtimes: the binaries need no DLL that Windows lacks.
# Each function and datum in a section of its own, so that the linker drops
# what nothing calls.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)

# The same sources give the same bytes, wherever and whenever they are
# built: no link time in the headers, no build folder in the code.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)

# A program (not a library) that Remote Desktop's application mode must not
# give a private Windows folder: the ini files and VK_XP.log are the PC's.
function(vk_terminal_server_aware target)
    target_link_options(${target} PRIVATE -Wl,--tsaware)
endfunction()

# Narrow string literals of the library and the repair tool are the bytes
# that cross to Windows's ANSI functions: Shift-JIS, whatever the source's
# encoding.
function(vk_ansi_strings_are_shift_jis target)
    target_compile_options(${target} PRIVATE -fexec-charset=CP932)
endfunction()

# Code that never throws: nothing may cross a stdcall export or WinMain as a
# C++ exception, and without exception tables the C++ runtime stays out.
function(vk_no_exceptions target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()
