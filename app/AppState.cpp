#include "AppState.h"

AppState& App()
{
    static AppState state;
    return state;
}

std::wstring DataFolder()
{
    return DataFolderOf(Settings().Path());
}

std::wstring DataFolderOf(const std::wstring& settingsPath)
{
    const size_t slash = settingsPath.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : settingsPath.substr(0, slash + 1);
}
