#pragma once
// Host objects to and from text through the framework's member reflection, so that every member
// the host model declares is shown and can be set without knowing the class.
#include "Lattice/Object.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace hxhost {

using Json = nlohmann::ordered_json;

// Every reflected member of `object` (nested objects and collections too), with "_class" first.
// Unset dates are "". A null object is null.
Json toJson(const Lattice::Base* object);
Json toJson(const Lattice::Data& value);
Json toJson(const Lattice::ObjectCollection& list);

// Sets the member at a dotted `path` of `target` from its text form, read as the member's type:
// true/false, whole numbers, YYYY-MM-DD, HH:MM[:SS], YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM], or a JSON
// object or array for object and collection members. Missing sub-objects are made. Throws
// CommandError naming the member when the path or the value does not fit.
void setMember(Lattice::Object& target, const std::string& path, const std::string& text);
// Sets every member named in a JSON object, recursing into sub-objects.
void setMembers(Lattice::Object& target, const Json& fields, const std::string& prefix = "");
// Applies FIELD=VALUE words and JSON objects ("{...}") in order.
void setMembers(Lattice::Object& target, const std::vector<std::string>& words);

Lattice::_DateData parseDate(const std::string& text, const std::string& what);
Lattice::_TimeData parseTime(const std::string& text, const std::string& what);
Lattice::_DateTimeData parseDateTime(const std::string& text, const std::string& what);

// A JSON value as one table cell.
std::string cellText(const Json& value);

} // namespace hxhost
