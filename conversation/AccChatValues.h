// What the conversation view shows of the AIM layer's objects, read into the
// plain values its templates take: a user's names and buddy icon, a
// message's identifier, flags and time, and the expression items of a
// buddy. A value the layer does not have reads as empty.
#pragma once

#include "AccCore.h"
#include "MessageTemplate.h"

#include <wrl/client.h>

#include <string>

// Screen name (property 0), friendly name (the alias, property 2, else the
// screen name) and the file of the buddy icon.
ChatParty ChatPartyOfUser(AIMCC::IAccUser* user);

// The identifier, flags and time of a message into `message`; false when
// the object is missing.
bool ReadMessageFacts(AIMCC::IAccIm* im, ChatMessage* message);

// The user's expression item of `property` (10001 the buddy icon, ...), or
// null. The layer's empty placeholder item counts as none.
Microsoft::WRL::ComPtr<AIMCC::IAccBartItem> ExpressionItemOf(AIMCC::IAccUser* user, long property);
std::wstring ItemText(AIMCC::IAccBartItem* item, long property);
bool ItemFlag(AIMCC::IAccBartItem* item, long property);
// An item's stream read whole, up to `limit` bytes.
std::string ReadItemStream(AIMCC::IAccBartItem* item, size_t limit);
