#include "platform/OptionalLibrary.h"

#include "platform/Log.h"

#include <dlfcn.h>

namespace brelvo {

OptionalLibrary::OptionalLibrary(const char* soname) : soname_(soname) {
    handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    // Not installed is an ordinary case for an optional feature: said quietly.
    if (!handle_) qCInfo(lcBrelvo) << "cannot load" << soname << ":" << dlerror();
}

void* OptionalLibrary::address(const char* name) const {
    if (!handle_) return nullptr;
    void* found = dlsym(handle_, name);
    if (!found) qCWarning(lcBrelvo) << soname_ << "has no" << name << "- a version this library cannot use";
    return found;
}

}  // namespace brelvo
