#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>

namespace platform::qt {

// Presses of a pointer button anywhere on the X screen, whichever window
// gets them (XInput 2 raw events on the root window). A panel that holds
// the keyboard learns so of a click into another application's window,
// which moves no focus when that window is already the active one. Scroll
// wheel steps are no presses. Outside X11 nothing is watched.
class PointerPresses : public QAbstractNativeEventFilter {
public:
    explicit PointerPresses(std::function<void()> pressed);
    ~PointerPresses() override;
    PointerPresses(const PointerPresses&) = delete;
    PointerPresses& operator=(const PointerPresses&) = delete;

    void watch(bool on);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> pressed_;
    int opcode_ = -1; // the XInput extension's, once known to be there
    bool watching_ = false;
};

} // namespace platform::qt
