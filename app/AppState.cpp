#include "AppState.h"

AppState& App()
{
    static AppState state;
    return state;
}

std::wstring DataFolder()
{
    const std::wstring& settings = Settings().Path();
    const size_t slash = settings.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : settings.substr(0, slash + 1);
}
