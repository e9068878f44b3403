// A loadable module that registers its own "Widget", replacing the one of the loading program.
#include "Lattice/Base.h"

namespace {
class PluginWidget : public Lattice::Base {
    LATTICE_CLASS(PluginWidget, "Widget", Lattice::Base)
    char payload_[4242 - sizeof(Lattice::Base)] = {};
};
LATTICE_REGISTER_CLASS(PluginWidget);
} // namespace
