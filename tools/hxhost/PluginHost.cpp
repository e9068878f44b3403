#include "PluginHost.h"

#include <dlfcn.h>

namespace hxhost {

PluginHost::PluginHost(std::string pluginPath) : path_(std::move(pluginPath)) {}

PluginHost::~PluginHost() {
    session.clear();
    children_.clear();
    if (provider_)
        provider_->release();
    delete factory_;
    // The module is left loaded: the framework may still hold its class registrations' atoms until
    // the process ends, exactly as in the host.
}

bool PluginHost::load() {
    if (factory_)
        return true;
    module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) {
        const char* why = dlerror();
        error_ = "cannot load plug-in " + path_ + ": " + (why ? why : "unknown error");
        return false;
    }
    auto entry = reinterpret_cast<GetMailProviderInterface>(dlsym(module_, "getMailProviderInterface"));
    if (!entry) {
        error_ = "plug-in " + path_ + " has no getMailProviderInterface";
        return false;
    }
    factory_ = entry();
    if (!factory_) {
        error_ = "getMailProviderInterface returned no factory";
        return false;
    }
    return true;
}

hxMail::MailProvider* PluginHost::provider() {
    if (provider_)
        return provider_;
    if (!load())
        return nullptr;
    provider_ = factory_->createProvider();
    if (!provider_) {
        error_ = "the factory made no provider";
        return nullptr;
    }
    provider_->addRef();
    return provider_;
}

Lattice::Base* PluginHost::childByName(const char* className) {
    auto it = children_.find(className);
    if (it != children_.end())
        return it->second.get();
    if (!provider())
        return nullptr;
    Lattice::Ptr<Lattice::Base> made(Lattice::ClassFactory::create(Lattice::Atom(className)));
    auto* child = dynamic_cast<hxMail::MailChildProvider*>(made.get());
    if (!child)
        return nullptr;
    child->setOwner(provider_);
    children_[className] = made;
    return child;
}

} // namespace hxhost
