#include "PreferenceStore.h"

#include "Ini.h"

void CPreferenceStore::Split(const std::wstring& name, std::wstring& section, std::wstring& key)
{
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) {
        section = name;
        key = name;
        return;
    }
    section = name.substr(0, dot);
    key = name.substr(dot + 1);
}

std::wstring CPreferenceStore::ReadText(const std::wstring& section, const std::wstring& key) const
{
    const std::vector<BYTE> bytes = ini_.GetBinary(section.c_str(), key.c_str());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

bool CPreferenceStore::WriteText(const std::wstring& section, const std::wstring& key, const std::wstring& text) const
{
    // An empty text still has to exist as a key: WriteBinary of nothing
    // writes an empty value.
    static const BYTE kNothing = 0;
    const void* bytes = text.empty() ? static_cast<const void*>(&kNothing) : static_cast<const void*>(text.data());
    return ini_.WriteBinary(section.c_str(), key.c_str(), bytes, static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

bool CPreferenceStore::IsList(const std::wstring& name) const
{
    return ini_.SectionExists(name.c_str());
}

bool CPreferenceStore::ReadValue(const std::wstring& name, std::wstring& value) const
{
    std::wstring section;
    std::wstring key;
    Split(name, section, key);
    value = ReadText(section, key);
    return !value.empty();
}

bool CPreferenceStore::ReadList(const std::wstring& name, std::vector<std::wstring>& items) const
{
    if (!IsList(name))
        return false;
    items.clear();
    for (const std::wstring& key : ini_.KeyNames(name.c_str()))
        items.push_back(ReadText(name, key));
    return true;
}

bool CPreferenceStore::WriteValue(const std::wstring& name, const std::wstring& value) const
{
    if (IsList(name))
        ini_.DeleteSection(name.c_str());
    std::wstring section;
    std::wstring key;
    Split(name, section, key);
    return WriteText(section, key, value);
}

bool CPreferenceStore::WriteList(const std::wstring& name, const std::vector<std::wstring>& items) const
{
    Erase(name);
    for (size_t i = 0; i < items.size(); ++i) {
        if (!WriteText(name, std::to_wstring(i), items[i]))
            return false;
    }
    return true;
}

bool CPreferenceStore::Erase(const std::wstring& name) const
{
    if (IsList(name))
        return ini_.DeleteSection(name.c_str());
    std::wstring section;
    std::wstring key;
    Split(name, section, key);
    if (!ini_.KeyExists(section.c_str(), key.c_str()))
        return false;
    return ini_.DeleteKey(section.c_str(), key.c_str());
}

bool CPreferenceStore::Children(const std::wstring& name, std::vector<std::wstring>& children) const
{
    if (!IsList(name))
        return false;
    children.clear();
    for (const std::wstring& key : ini_.KeyNames(name.c_str()))
        children.push_back(name + L"." + key);
    return true;
}
