// A window of the host application as the module sees it: messages posted to it are handled
// later, from the event loop, never inside the call that posted them.
#pragma once

#include "OVCore.h"

#include <QObject>

#include <functional>

class TLoopWindow : public QObject, public IOVWindow {
public:
    using THandler = std::function<void(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam)>;

    explicit TLoopWindow(THandler fnHandler, QObject* pParent = nullptr);

    // Queues the message; false only when the window has no handler.
    bool PostMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam) override;

private:
    THandler m_fnHandler;
};
