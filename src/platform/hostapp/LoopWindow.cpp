#include "LoopWindow.h"

TLoopWindow::TLoopWindow(THandler fnHandler, QObject* pParent) : QObject(pParent), m_fnHandler(std::move(fnHandler)) {}

bool TLoopWindow::PostMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam)
{
    if (!m_fnHandler)
        return false;
    QMetaObject::invokeMethod(this, [this, nMessage, wParam, lParam] { m_fnHandler(nMessage, wParam, lParam); },
                              Qt::QueuedConnection);
    return true;
}
