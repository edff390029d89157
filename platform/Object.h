#pragma once
// The root of the system's own class tree: run-time class names and the
// notify event that every component uses.
#include <functional>

class TObject {
public:
    virtual ~TObject() = default;
    // The class name as the system spells it ("TFBPictureElement").
    virtual const char* ClassName() const { return "TObject"; }
};

// Declares ClassName() for a class derived from TObject.
#define LUMI_CLASSNAME(Name) \
    const char* ClassName() const override { return #Name; } \
    static constexpr const char* StaticClassName() { return #Name; }

using TNotifyEvent = std::function<void(TObject* Sender)>;
