#include "ConversationWindows.h"

namespace {

IConversationWindows* g_conversationWindows = nullptr;

} // namespace

void SetConversationWindows(IConversationWindows* windows)
{
    g_conversationWindows = windows;
}

IConversationWindows* ConversationWindows()
{
    return g_conversationWindows;
}
