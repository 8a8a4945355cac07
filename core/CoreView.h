#pragma once

// What the polling machine tells whoever shows the keyboard. Every call
// comes on the thread that ticks the machine.
class CoreView {
public:
    // The settings record was replaced (a reply of the full read, a recall)
    // or refreshed (a status reply, a tick of Simulate): show it all again.
    virtual void ShowRecord() = 0;
    // The keyboard is gone or silent.
    virtual void ShowNoDevice() = 0;
    // A full read finished; the keyboard has this many sensors.
    virtual void ShowSensorCount(int count) = 0;
    // The configuration was locked or unlocked (or an unlock was refused).
    virtual void ShowConfigurationLock(bool unlocked) = 0;

protected:
    ~CoreView() = default;
};
