#pragma once
// The Caps Lock state, read and set through XKB on the X display. Without
// an X display the keyboard reads as Caps Lock off and setting does nothing.

#include <string>

namespace tavrin {

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // True when Caps Lock is locked on.
    virtual bool capsLockLocked() = 0;
    // Locks or unlocks Caps Lock.
    virtual void lockCapsLock(bool on) = 0;
};

// The X server's core keyboard through XKB. The display is opened for each
// call, so the object holds no connection between launches.
class X11Keyboard : public Keyboard {
public:
    // `display` names the X display; $DISPLAY when empty.
    explicit X11Keyboard(std::string display = {}) : display_(std::move(display)) {}
    bool capsLockLocked() override;
    void lockCapsLock(bool on) override;

private:
    std::string display_;
};

// True when Caps Lock is on.
bool CapsLockOn(Keyboard& keyboard);

// Switches Caps Lock to the wanted state; nothing when it is already there.
void SetCapsLock(Keyboard& keyboard, bool wanted);

} // namespace tavrin
