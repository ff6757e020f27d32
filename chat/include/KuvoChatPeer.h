// KuvoChat: how the host names a conversation partner, and which partners it hears of.
//
// The host names a partner by a PeerKind code and a 64-bit id (the `peerKind` and `peerId` of
// every record, export and callback; TimChangedPeers maps id -> code). The IM SDK names the same
// partner by a peer text (`tagTimMsgLocator::peer`) and a conversation type (1 one-to-one,
// 2 group). The library turns one into the other with the rules below.
//
// Outbound (every export that takes peerKind and peerId): the peer text is the kind's prefix
// followed by the id in decimal, without leading zeros; em_PK_USER has no prefix. A code not in
// the table names no conversation: the export fails (false, 0, or nothing happens).
//
//   code  name                          peer text                  conversation  read back
//    0    em_PK_NONE                    -                          -             (no kind)
//    1    em_PK_G                       "G" + id                   group         yes
//    3    em_PK_D                       "D" + id                   group         yes
//    9    em_PK_USER                    id alone                   one-to-one    yes
//   20    em_PK_CD                      "cd_" + id                 one-to-one    yes
//   22    em_PK_CSCMD                   "cscmd_" + id              one-to-one    no (kind 0)
//   50    em_PK_MATTER_DISCUSS          "matter_discuss_" + id     group         yes
//   51    em_PK_MATTER_REMIND           "matter_remind_" + id      group         yes
//   52    em_PK_MATTER_CUSTOMER         "matter_customer_" + id    group         yes
//   53    em_PK_MATTER_CUSTOMER_VISIT   "matter_customer_visit_" + id  group     yes
//   54    em_PK_MATTER_ORDER_APPROVAL   "matter_order_approval_" + id  group     yes
//
// Inbound (the peer text of an SDK message or conversation -> peerKind and peerId), first rule
// that matches wins:
//   1. Decimal digits and nothing else: em_PK_USER, the digits' value ("007" gives 7).
//   2. Otherwise the prefixes are searched anywhere in the text (not only at its start), in this
//      order: "G", "D", "cd_", "matter_discuss_", "matter_remind_", "matter_customer_visit_",
//      "matter_customer_", "matter_order_approval_". The first one found gives the kind; its
//      first occurrence is removed and the rest is read as a signed decimal number, stopping at
//      the first character that is not a digit (0 when none leads): "G1001" is (1, 1001), "xG5"
//      is (1, 0), "matter_customer_visit_88" is (53, 88), never 52.
//   3. Nothing matched: kind 0 (em_PK_NONE), id 0. "cscmd_" is not searched, so a reply from a
//      em_PK_CSCMD partner arrives with kind 0.
//
// Which partners reach the host at all (new messages, sent-message records, history pages,
// the recent list, changed conversations):
//   - an empty peer text: never;
//   - a text that rule 1 or 2 reads: always;
//   - a text containing "webimsvr": never;
//   - a text containing "system_", "cscmd_", "notice_" or "cd_": yes, with kind 0 and id 0; the
//     host tells these partners apart by the record's `locator.peer` text;
//   - anything else ("guest_5", for example): never.
// System conversations (SDK type 3) and conversations without a type are never reported, and
// the recent list shows only conversations whose peer text rule 1 or 2 reads.
#pragma once

#include <cstdint>

enum PeerKind : uint32_t {
  em_PK_NONE = 0,
  em_PK_G = 1,
  em_PK_D = 3,
  em_PK_USER = 9,
  em_PK_CD = 20,
  em_PK_CSCMD = 22,
  em_PK_MATTER_DISCUSS = 50,
  em_PK_MATTER_REMIND = 51,
  em_PK_MATTER_CUSTOMER = 52,
  em_PK_MATTER_CUSTOMER_VISIT = 53,
  em_PK_MATTER_ORDER_APPROVAL = 54,
};
