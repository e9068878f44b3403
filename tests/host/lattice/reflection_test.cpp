// Member reflection: dotted paths, sub-objects, type conversions and deep copies.
#include "Lattice/Object.h"

#include <gtest/gtest.h>

using namespace Lattice;

namespace {

class Place : public SchemaBase {
    LATTICE_CLASS(Place, "Place", SchemaBase)
#define PLACE_PROPS(P) P(String, city) P(String, street) P(long, floor)
    LATTICE_PROPERTIES(SchemaBase, PLACE_PROPS)
#undef PLACE_PROPS
};

class Card : public SchemaBase {
    LATTICE_CLASS(Card, "Card", SchemaBase)
#define CARD_PROPS(P)                                                                                        \
    P(String, name)                                                                                          \
    P(bool, vip) P(_DateTimeData, met) P(Ptr<Place>, businessAddress) P(Ptr<Place>, homeAddress)
    LATTICE_PROPERTIES(SchemaBase, CARD_PROPS)
#undef CARD_PROPS
public:
    Card() {
        m_businessAddress = new Place();
    }
};

class VipCard : public Card {
    LATTICE_CLASS(VipCard, "VipCard", Card)
#define VIP_PROPS(P) P(long, level)
    LATTICE_PROPERTIES(Card, VIP_PROPS)
#undef VIP_PROPS
};

TEST(Reflection, ConvertsValuesToTheMemberType) {
    Card c;
    EXPECT_TRUE(c.setMemberByPath("vip", Data("true"), false));
    EXPECT_TRUE(c.get_vip());
    EXPECT_TRUE(c.setMemberByPath("businessAddress.floor", Data("12"), false));
    EXPECT_EQ(c.get_businessAddress()->get_floor(), 12);
    // An object member takes only an object of its class (or nothing).
    EXPECT_FALSE(c.setMemberByPath("businessAddress", Data("text"), false));
    Ptr<Card> other(new Card());
    EXPECT_FALSE(c.setMemberByPath("businessAddress", Data(other.get(), true), false));
    EXPECT_TRUE(c.get_businessAddress());
    EXPECT_TRUE(c.setMemberByPath("businessAddress", Data(), false));
    EXPECT_FALSE(c.get_businessAddress());
}

TEST(Reflection, InheritedMembersAndNames) {
    VipCard v;
    EXPECT_TRUE(v.setMemberByPath("level", Data(3L), false));
    EXPECT_TRUE(v.setMemberByPath("businessAddress.street", Data("Main St"), false));
    auto names = v.memberNames();
    ASSERT_EQ(names.count(), 6);
    EXPECT_EQ(names[0], "name");
    EXPECT_EQ(names[5], "level");
    EXPECT_TRUE(v.hasMember("homeAddress"));
    EXPECT_FALSE(v.hasMember("city"));
}

TEST(Reflection, DeepCopyCopiesSubObjects) {
    Ptr<VipCard> v(new VipCard());
    v->set_name("Bo");
    v->set_level(2);
    v->get_businessAddress()->set_city("Rome");
    Ptr<Base> copy(v->deepCopy());
    auto* c = dynamic_cast<VipCard*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->get_name(), "Bo");
    EXPECT_EQ(c->get_level(), 2);
    ASSERT_TRUE(c->get_businessAddress());
    EXPECT_NE(c->get_businessAddress().get(), v->get_businessAddress().get());
    EXPECT_EQ(c->get_businessAddress()->get_city(), "Rome");
    v->get_businessAddress()->set_city("Milan");
    EXPECT_EQ(c->get_businessAddress()->get_city(), "Rome");
    EXPECT_FALSE(c->get_homeAddress());

    Ptr<Base> shallow(v->copy(false));
    EXPECT_EQ(dynamic_cast<VipCard*>(shallow.get())->get_name(), "");
}

} // namespace
