// Values and containers: String, Data, Array, Map, ObjectCollection.
#include "Lattice/Data.h"

#include <gtest/gtest.h>

using namespace Lattice;

namespace {

class Counted : public Base {
public:
    explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
    ~Counted() override { --*alive_; }

private:
    int* alive_;
};

TEST(String, FindAndCaseInsensitiveFind) {
    String s("Hello World, hello");
    EXPECT_EQ(s.find("hello"), 13);
    EXPECT_EQ(s.findNoCase("HELLO"), 0);
    EXPECT_EQ(s.findNoCase("HELLO", 1), 13);
    EXPECT_EQ(s.find("absent"), String::npos);
    EXPECT_EQ(s.find("o", 100), String::npos);
    EXPECT_EQ(s.findNoCase("x", -5), String::npos);
    EXPECT_EQ(s.findNoCase("world, HELLO!"), String::npos); // longer than the rest
    EXPECT_EQ(String().find(""), 0);
    EXPECT_EQ(s.findLast("l"), 16);
}

TEST(String, SubstringsAreClamped) {
    String s("abcdef");
    EXPECT_EQ(s.substring(2, 3), "cde");
    EXPECT_EQ(s.substring(4), "ef");
    EXPECT_EQ(s.substring(10, 2), "");
    EXPECT_EQ(s.substring(-3, 2), "ab");
    EXPECT_EQ(s.substring(3, 100), "def");
    EXPECT_EQ(s.left(100), "abcdef");
    EXPECT_EQ(s.right(2), "ef");
    EXPECT_EQ(s.right(-1), "");
    EXPECT_EQ(s.charAt(6), '\0');
}

TEST(String, ReplaceAllAndSplit) {
    String s("a--b--c");
    EXPECT_EQ(s.replaceAll("--", "+"), 2);
    EXPECT_EQ(s, "a+b+c");
    EXPECT_EQ(s.replaceAll("", "x"), 0); // an empty pattern must not loop forever
    String t("aXbxc");
    EXPECT_EQ(t.replaceAllNoCase("x", "--"), 2);
    EXPECT_EQ(t, "a--b--c");
    String loop("aaa");
    EXPECT_EQ(loop.replaceAll("a", "aa"), 3); // replacement containing the pattern
    EXPECT_EQ(loop, "aaaaaa");

    auto parts = String("a,,b,").split(",");
    ASSERT_EQ(parts.count(), 4);
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(parts[3], "");
    EXPECT_EQ(String("a,,b,").split(",", false).count(), 2);
    EXPECT_EQ(String::join(parts, ";"), "a;;b;");
    EXPECT_EQ(String("").split(",", false).count(), 0);
}

TEST(String, CompareTrimAndNumbers) {
    EXPECT_EQ(String("abc").compareNoCase("ABC"), 0);
    EXPECT_LT(String("abc").compareNoCase("ABD"), 0);
    EXPECT_LT(String("ab").compareNoCase("ABC"), 0);
    EXPECT_GT(String("b").compare("a"), 0);
    EXPECT_EQ(String(" \t x y \r\n").trimmed(), "x y");
    EXPECT_EQ(String("   ").trimmed(), "");
    EXPECT_EQ(String(" 42 ").toLong(), 42);
    EXPECT_EQ(String("42abc").toLong(-1), -1);
    EXPECT_EQ(String("99999999999999999999999").toLong(-7), -7);
    EXPECT_DOUBLE_EQ(String("2.5").toDouble(), 2.5);
    EXPECT_TRUE(String("-3").isNumber());
    EXPECT_FALSE(String("3x").isNumber());
    EXPECT_TRUE(String("Re: x").startsWithNoCase("RE:"));
    EXPECT_FALSE(String("R").startsWith("Re"));
    EXPECT_TRUE(String("file.NSF").endsWithNoCase(".nsf"));
}

TEST(String, FormatNeverTruncates) {
    String big(std::string(1000, 'x'));
    String f = String::format("[%s|%d]", big.c_str(), 7);
    EXPECT_EQ(f.length(), 1000 + 4);
    EXPECT_TRUE(f.endsWith("|7]"));
    String s(2048, 256);
    EXPECT_TRUE(s.isEmpty());
    s.appendFormat("%s=%ld", "n", 5L);
    EXPECT_EQ(s, "n=5");
    EXPECT_EQ(String(static_cast<const char*>(nullptr)), "");
}

TEST(Data, TypeTagsAndConversions) {
    EXPECT_EQ(Data().typeTag(), 0);
    EXPECT_EQ(Data(_DateTimeData{}).typeTag(), 14);
    EXPECT_EQ(Data(true).type(), DataType::Bool);
    EXPECT_EQ(Data(5L).type(), DataType::Long);
    EXPECT_EQ(Data("x").type(), DataType::String);
    EXPECT_EQ(Data("12").toLong(), 12);
    EXPECT_EQ(Data("1.9").toLong(), 1);
    EXPECT_EQ(Data("junk").toLong(), 0);
    EXPECT_EQ(Data(1e300).toLong(), 0);
    EXPECT_TRUE(Data("TRUE").toBool());
    EXPECT_FALSE(Data("no").toBool());
    EXPECT_EQ(Data(3L).toString(false), "3");
    EXPECT_EQ(Data("t").toString(true), "\"t\"");
    EXPECT_EQ(Data("t").toString(false), "t");
}

TEST(Data, DateTimeTextShowsEastPositiveOffset) {
    _DateTimeData dt;
    dt.setFullYear(2005);
    dt.month = 11;
    dt.day = 1;
    dt.hour = 15;
    dt.minute = 20;
    dt.zoneOffset = 300; // five hours west of GMT
    EXPECT_EQ(Data(dt).toString(false), "2005-11-01T15:20:00-05:00");
    EXPECT_EQ(Data(dt).toDate().fullYear(), 2005);
    EXPECT_EQ(Data(dt.date()).toDateTime().hour, 0);
}

TEST(Data, ObjectsHeldWithAndWithoutReference) {
    int alive = 0;
    {
        Counted* c = new Counted(&alive);
        Data held(c, true);
        EXPECT_EQ(c->refCount(), 1);
        Data copy = held;
        EXPECT_EQ(c->refCount(), 2);
        Data moved = std::move(copy);
        EXPECT_EQ(c->refCount(), 2);
        EXPECT_TRUE(copy.isEmpty());
        held = Data(7L); // drops one reference
        EXPECT_EQ(c->refCount(), 1);
        EXPECT_EQ(moved.toObject(), c);
    }
    EXPECT_EQ(alive, 0);

    {
        Data self(new Counted(&alive), true);
        Data& same = self;
        self = same;
        EXPECT_EQ(alive, 1) << "self-assignment keeps the object";
        EXPECT_NE(self.toObject(), nullptr);
    }
    EXPECT_EQ(alive, 0);

    Counted plain(&alive);
    {
        Data weak(&plain, false);
        Data weak2 = weak;
        EXPECT_EQ(plain.refCount(), 0);
        EXPECT_FALSE(weak2.holdsReference());
    }
    EXPECT_EQ(alive, 1);
}

TEST(Containers, ArrayBoundsAndMap) {
    Array<int> a{1, 2, 3};
    EXPECT_THROW(a.at(3), std::out_of_range);
    EXPECT_THROW(a.at(-1), std::out_of_range);
    a.insert(99, 4);
    a.insert(-5, 0);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[4], 4);
    EXPECT_EQ(a.indexOf(3), 3);
    a.removeAt(0);
    EXPECT_EQ(a.count(), 4);

    Map<String, Data> m(17, 10);
    m.set("k", Data(1L));
    Data out;
    EXPECT_TRUE(m.get("k", out));
    EXPECT_EQ(out.toLong(), 1);
    EXPECT_FALSE(m.get("K", out));
    EXPECT_TRUE(m.remove("k"));
    EXPECT_TRUE(m.isEmpty());
}

TEST(ObjectCollection, OrderClearingAndDeepCopy) {
    int alive = 0;
    Ptr<ObjectCollection> list(new ObjectCollection());
    list->add(Data(new Counted(&alive), true));
    list->add(Data("first"), false);
    list->add(Data(2L));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->at(0).toString(), "first");
    EXPECT_EQ(list->at(2).toLong(), 2);
    EXPECT_EQ(alive, 1);
    list->removeAll(true);
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(list->isEmpty());
    EXPECT_THROW(list->at(0), std::out_of_range);
}

} // namespace
