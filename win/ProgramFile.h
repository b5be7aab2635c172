// The program's own executable file and folder, and the library loads that
// stay away from the current directory and PATH.
//
// Header-only, like Scoped.h: the configuration and the SDK binding use it
// without depending on each other.
#pragma once

#include <windows.h>

#include <string>

namespace win {

// Full path of the executable file of this process (the module that started
// it), however long; empty when the system cannot tell.
template <typename Char>
std::basic_string<Char> ProgramFilePath() {
    std::basic_string<Char> path(MAX_PATH, Char{});
    for (;;) {
        DWORD length = 0;
        if constexpr (sizeof(Char) == 1)
            length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        else
            length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {  // a full buffer means the path was cut
            path.resize(length);
            return path;
        }
        if (path.size() >= 65536) return {};
        path.resize(path.size() * 2);
    }
}

// The folder that holds the executable file, without a closing backslash
// except for a drive's root ("C:\"); empty when the system cannot tell.
inline std::wstring ProgramFolder() {
    std::wstring folder = ProgramFilePath<wchar_t>();
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    folder.resize(slash == 2 && folder[1] == L':' ? slash + 1 : slash);
    return folder;
}

// SetDefaultDllDirectories and the LOAD_LIBRARY_SEARCH_* flags, which
// systems without the 2011 loader update lack: looked up at run time.
inline bool SystemFolderSearchAvailable() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel && ::GetProcAddress(kernel, "SetDefaultDllDirectories") != nullptr;
}

// Restricts every later load of a library by bare name, in the whole process,
// to the system folder: a DLL planted in the current directory or in a folder
// on PATH is never loaded. On a system without that call, at least the
// current directory leaves the search order. Call it first thing.
inline void KeepLibrarySearchInSystemFolder() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    auto setDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDllDirectoryW")));
    if (setDirectory) (void)setDirectory(L"");
}

// A system library, loaded by its full path in the system folder.
inline HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return ::LoadLibraryW((std::wstring(folder, length) + L"\\" + fileName).c_str());
}

// A library from the program's own folder only, by its full path; nullptr
// when it is not there (no other folder is searched for it). Libraries that
// it needs in turn are looked for beside it and in the system folder.
inline HMODULE LoadLibraryBesideProgram(const wchar_t* fileName) {
    std::wstring folder = ProgramFolder();
    if (folder.empty()) return nullptr;
    if (folder.back() != L'\\') folder += L'\\';
    const std::wstring path = folder + fileName;
    const DWORD flags = SystemFolderSearchAvailable()
                            ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
    return ::LoadLibraryExW(path.c_str(), nullptr, flags);
}

}  // namespace win
