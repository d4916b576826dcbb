#include "Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <memory>

namespace tavrin {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

DisplayPtr openDisplay(const std::string& name)
{
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int reason = 0;
    Display* d = XkbOpenDisplay(name.empty() ? nullptr : const_cast<char*>(name.c_str()), nullptr,
                                nullptr, &major, &minor, &reason);
    return DisplayPtr(d);
}

} // namespace

bool X11Keyboard::capsLockLocked()
{
    const DisplayPtr d = openDisplay(display_);
    if (!d)
        return false;
    XkbStateRec state{};
    if (XkbGetState(d.get(), XkbUseCoreKbd, &state) != Success)
        return false;
    return (state.locked_mods & LockMask) != 0;
}

void X11Keyboard::lockCapsLock(bool on)
{
    const DisplayPtr d = openDisplay(display_);
    if (!d)
        return;
    XkbLockModifiers(d.get(), XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(d.get(), False);
}

bool CapsLockOn(Keyboard& keyboard) { return keyboard.capsLockLocked(); }

void SetCapsLock(Keyboard& keyboard, bool wanted)
{
    if (keyboard.capsLockLocked() == wanted)
        return;
    keyboard.lockCapsLock(wanted);
}

} // namespace tavrin
