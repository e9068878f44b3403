// The object model and the class factory, also across a shared-library boundary.
#include "Lattice/Base.h"
#include "Lattice/Data.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Lattice;

namespace {

class Shape : public Base {
    LATTICE_CLASS(Shape, "Shape", Base)
public:
    int sides = 0;
};

class Square : public Shape {
    LATTICE_CLASS(Square, "Square", Shape)
public:
    Square() { sides = 4; }
};

class LocalWidget : public Base {
    LATTICE_CLASS(LocalWidget, "Widget", Base)
};

LATTICE_REGISTER_CLASS(Shape);
LATTICE_REGISTER_CLASS(Square);
LATTICE_REGISTER_CLASS(LocalWidget);

TEST(ObjectModel, ClassNamesAndInheritance) {
    Square sq;
    EXPECT_STREQ(sq.className().c_str(), "Square");
    EXPECT_TRUE(sq.isA("Square"));
    EXPECT_FALSE(sq.isA("Shape"));
    EXPECT_TRUE(sq.inheritsFrom("Square"));
    EXPECT_TRUE(sq.inheritsFrom("Shape"));
    EXPECT_TRUE(sq.inheritsFrom("Base"));
    EXPECT_FALSE(sq.inheritsFrom("Widget"));
    EXPECT_EQ(sq.sizeOf(), static_cast<long>(sizeof(Square)));
}

TEST(ObjectModel, AtomsAreInternedAcrossThreads) {
    std::vector<std::thread> threads;
    std::vector<const char*> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] {
            for (int k = 0; k < 1000; ++k)
                Atom(std::string("name-") + std::to_string(k));
            seen[i] = Atom("shared-name").c_str();
        });
    for (auto& t : threads)
        t.join();
    for (const char* p : seen)
        EXPECT_EQ(p, seen[0]);
    EXPECT_EQ(Atom("x"), Atom(std::string("x")));
    EXPECT_NE(Atom("x"), Atom("X"));
}

TEST(ObjectModel, RefCountingAndCopy) {
    Ptr<Square> a(new Square());
    EXPECT_EQ(a->refCount(), 1);
    {
        Ptr<Base> b = a;
        EXPECT_EQ(a->refCount(), 2);
    }
    EXPECT_EQ(a->refCount(), 1);
    a->sides = 9;
    Ptr<Base> fresh(a->copy(false));
    EXPECT_TRUE(fresh->isA("Square"));
    EXPECT_EQ(dynamic_cast<Square*>(fresh.get())->sides, 4); // a fresh object, not a member copy
}

TEST(ClassFactory, MakesClassesByNameAndALoadedModuleReplacesUntilUnloaded) {
    Ptr<Base> s(ClassFactory::create("Square"));
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->isA("Square"));
    EXPECT_EQ(ClassFactory::create("NoSuchClass"), nullptr);
    EXPECT_FALSE(ClassFactory::isRegistered("NoSuchClass"));

    Ptr<Base> before(ClassFactory::create("Widget"));
    ASSERT_TRUE(before);
    EXPECT_LT(before->sizeOf(), 4242);

    void* module = dlopen(HX_TEST_WIDGET_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    {
        Ptr<Base> during(ClassFactory::create("Widget"));
        ASSERT_TRUE(during);
        EXPECT_GE(during->sizeOf(), 4242); // the module's class wins
        EXPECT_STREQ(during->className().c_str(), "Widget");
    }
    ASSERT_EQ(dlclose(module), 0);

    Ptr<Base> after(ClassFactory::create("Widget"));
    ASSERT_TRUE(after);
    EXPECT_LT(after->sizeOf(), 4242);
}

} // namespace
