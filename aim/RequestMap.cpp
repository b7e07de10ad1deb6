#include "RequestMap.h"

#include "SubclsWnd.h"

void CRequestMap::Record(long requestId, HWND window)
{
    CSubclsWnd* object = window ? CSubclsWnd::FromHandle(window) : nullptr;
    if (!object) {
        RecordWithoutWindow(requestId);
        return;
    }
    entries_[requestId] = {window, object->Kind()};
}

void CRequestMap::RecordWithoutWindow(long requestId)
{
    entries_[requestId] = {nullptr, 0};
}

CRequestMap::Entry CRequestMap::Take(long requestId)
{
    Entry entry;
    const auto it = entries_.find(requestId);
    if (it == entries_.end())
        return entry;
    const Owner owner = it->second;
    entries_.erase(it);
    entry.known = true;
    entry.hadWindow = owner.window != nullptr;
    if (!owner.window || !IsWindow(owner.window))
        return entry;
    const CSubclsWnd* object = CSubclsWnd::FromHandle(owner.window);
    if (!object || object->Kind() != owner.kind)
        return entry;
    entry.window = owner.window;
    entry.kind = owner.kind;
    return entry;
}
