// An IM SDK that answers the calls of KuvoChat's message conversion from a fuzzer's bytes:
// arbitrary result codes, lengths that disagree with the texts, texts without terminators,
// element counts and types, and handles that come and go. It keeps the one promise a caller
// cannot check, never writing past the buffer length it is given, and counts the conversation
// handles so that every path can be checked to destroy what it created.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hostile_tim {

// Starts answering from `data`; once the bytes run out every answer is zero.
void Begin(const uint8_t* data, size_t size);
// Conversation handles created and not destroyed since Begin.
int LiveConversations();
// Reads one byte of the input (0 when exhausted), for the driver's own choices.
uint8_t NextByte();

}  // namespace hostile_tim
