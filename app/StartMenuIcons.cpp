#include "StartMenuIcons.h"

#include "ScopedHandle.h"

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return path;
}

std::wstring StartMenuFolder()
{
    wchar_t programs[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return {};
    return std::wstring(programs) + L"\\Velmora";
}

HRESULT CreateShortcut(const std::wstring& linkPath, const std::wstring& target)
{
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (FAILED(hr))
        return hr;
    link->SetPath(target.c_str());
    link->SetDescription(L"");
    ComPtr<IPersistFile> file;
    hr = link.As(&file);
    if (FAILED(hr))
        return hr;
    return file->Save(linkPath.c_str(), TRUE);
}

void RecordIconsVisible(bool visible)
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\IM\\Velmora\\InstallInfo", 0, KEY_SET_VALUE, &raw) !=
        ERROR_SUCCESS)
        return;
    ScopedRegKey key(raw);
    const DWORD value = visible ? 1 : 0;
    RegSetValueExW(key.get(), L"IconsVisible", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// The shell-link object needs COM on this thread; this runs before start-up
// has initialised anything.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope()
    {
        if (ok_)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ok_;
};

} // namespace

void SetStartMenuIcons(bool visible)
{
    ComScope com;
    const std::wstring folder = StartMenuFolder();
    if (!folder.empty()) {
        const std::wstring program = ProgramPath();
        const std::wstring programFolder = program.substr(0, program.find_last_of(L'\\') + 1);
        if (visible) {
            CreateDirectoryW(folder.c_str(), nullptr);
            CreateShortcut(folder + L"\\Velmora.lnk", program);
            CreateShortcut(folder + L"\\Uninstall.lnk", programFolder + L"UninstallVelmora.exe");
        } else {
            DeleteFileW((folder + L"\\Velmora.lnk").c_str());
            DeleteFileW((folder + L"\\Uninstall.lnk").c_str());
            RemoveDirectoryW(folder.c_str());
        }
    }
    RecordIconsVisible(visible);
}
