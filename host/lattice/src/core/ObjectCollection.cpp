#include "Lattice/Data.h"

namespace Lattice {

const Atom& ObjectCollection::classAtom() {
    static const Atom atom("ObjectCollection");
    return atom;
}

Base* ObjectCollection::copy(bool deep) const {
    return deep ? deepCopy() : new ObjectCollection();
}

Base* ObjectCollection::deepCopy() const {
    auto* c = new ObjectCollection();
    for (const Data& d : items_) {
        if (Base* o = d.toObject())
            c->add(Data(o->deepCopy(), true));
        else
            c->add(d);
    }
    return c;
}

void ObjectCollection::add(const Data& value, bool atEnd) {
    if (atEnd)
        items_.add(value);
    else
        items_.insert(0, value);
}

void ObjectCollection::insertAt(long position, const Data& value) {
    items_.insert(position, value);
}

void ObjectCollection::removeAt(long position) {
    items_.removeAt(position);
}

void ObjectCollection::removeAll(bool releaseObjects) {
    if (!releaseObjects) {
        // Elements that held references keep their objects alive on purpose.
        for (Data& d : items_)
            if (d.holdsReference())
                d.toObject()->addRef();
    }
    items_.removeAll();
}

} // namespace Lattice
