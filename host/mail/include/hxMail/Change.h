#pragma once
#include "hxMail/Message.h"

namespace hxMail {

// One entry of a change report: which item changed and in which folder.
class ChangeItem : public Lattice::SchemaBase {
    LATTICE_CLASS(ChangeItem, "ChangeItem", Lattice::SchemaBase)
#define HX_CHANGEITEM_PROPERTIES(P) P(Lattice::String, itemId) P(Lattice::String, parentId)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_CHANGEITEM_PROPERTIES)
#undef HX_CHANGEITEM_PROPERTIES
};

// A new or changed item, carried whole.
class ChangeItemCopy : public ChangeItem {
    LATTICE_CLASS(ChangeItemCopy, "ChangeItemCopy", ChangeItem)
#define HX_CHANGEITEMCOPY_PROPERTIES(P) P(Lattice::Ptr<Item>, item)
    LATTICE_PROPERTIES(ChangeItem, HX_CHANGEITEMCOPY_PROPERTIES)
#undef HX_CHANGEITEMCOPY_PROPERTIES
};

class ChangeItemDelete : public ChangeItem {
    LATTICE_CLASS(ChangeItemDelete, "ChangeItemDelete", ChangeItem)
};

} // namespace hxMail
