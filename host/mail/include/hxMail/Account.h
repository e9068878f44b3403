#pragma once
#include "hxMail/Message.h"

namespace hxMail {

// The account record of a Lotus Notes user. Credentials are not kept here.
class LotusNotesAccount : public Item {
    LATTICE_CLASS(LotusNotesAccount, "LotusNotesAccount", Item)
#define HX_LOTUSNOTESACCOUNT_PROPERTIES(P)                                                                   \
    P(Lattice::String, userName)                                                                             \
    P(Lattice::String, serverName)                                                                           \
    P(Lattice::String, mailFile)
    LATTICE_PROPERTIES(Item, HX_LOTUSNOTESACCOUNT_PROPERTIES)
#undef HX_LOTUSNOTESACCOUNT_PROPERTIES
};

} // namespace hxMail
