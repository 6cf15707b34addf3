#pragma once

namespace brelvo {

// A shared library loaded when a feature first needs it rather than when
// the program starts: a host that never plays a sound or reads a crash stack
// never pays for loading libraries it does not use. A missing library or
// symbol leaves the feature off and is logged. The library stays
// loaded until the process ends.
class OptionalLibrary {
public:
    explicit OptionalLibrary(const char* soname);
    OptionalLibrary(const OptionalLibrary&) = delete;
    OptionalLibrary& operator=(const OptionalLibrary&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }

    // Sets `into` to the named function, or to null when the library or the
    // symbol is missing; true when found.
    template <typename Function>
    bool resolve(Function*& into, const char* name) const {
        into = reinterpret_cast<Function*>(address(name));
        return into != nullptr;
    }

private:
    void* address(const char* name) const;

    const char* soname_;
    void* handle_ = nullptr;
};

}  // namespace brelvo
