#pragma once
#include "Lattice/String.h"

namespace Lattice {

// Process-wide framework settings that the host sets and the framework and plug-ins read.
// Known keys:
//   "runtimePath"        prefix of attachment links written into bodies (default "/hx/")
//   "http.connectTo"     host:port=address:port[,...] — sends requests for a host:port elsewhere
//   "notes.server"       the Domino server of "mail.box" and "names.nsf"
namespace Settings {
void set(const String& key, const String& value);
String get(const String& key, const String& fallback = String());
bool has(const String& key);
void remove(const String& key);
} // namespace Settings

// The host's runtime URL path: the prefix of attachment links written into bodies.
String getRuntimePath();

} // namespace Lattice
