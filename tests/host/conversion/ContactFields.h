// A host contact as "member path" -> text, sub-objects by dotted paths ("homeAddress.city",
// "contactDetail.first"), so that two contacts compare field by field.
#pragma once

#include "hxMail/Contact.h"

#include <map>
#include <string>

inline void flattenFields(const Lattice::Object& object, const std::string& prefix,
                          std::map<std::string, std::string>& out) {
    for (const Lattice::String& name : object.memberNames()) {
        Lattice::Data value;
        object.getMemberByPath(name, value);
        if (!value.isObject())
            out[prefix + name.str()] = value.toString().str();
        else if (const auto* sub = value.toObject<Lattice::Object>())
            flattenFields(*sub, prefix + name.str() + ".", out);
    }
}

inline std::map<std::string, std::string> fieldsOf(const hxMail::Contact& contact) {
    std::map<std::string, std::string> out;
    flattenFields(contact, "", out);
    return out;
}
