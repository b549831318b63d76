// The window's dialog host: its help (the manual built into the program, shown at the section
// for a help context), and its session held while a modal dialog is open.
#pragma once

#include "DialogHost.h"

#include <QPointer>
#include <QString>

#include <QTextBrowser>

#include <functional>

// The manual's section for a help context ("window" for the window itself, "contents" else).
QString HelpSection(int context);

// The dialog host of the window: help from the manual, and the session held while a modal
// dialog is open (fnHold(true) before, fnHold(false) after).
class TWindowDialogHost : public IDialogHost {
public:
    explicit TWindowDialogHost(std::function<void(bool bHold)> fnHold = {}) : m_fnHold(std::move(fnHold)) {}
    ~TWindowDialogHost() override;
    // Opens (or raises) the help window at the context's section.
    void ShowHelp(int context) override;
    void ModalStarted() override;
    void ModalEnded() override;
    QTextBrowser* Browser() const { return m_browser; }

private:
    std::function<void(bool bHold)> m_fnHold;
    QPointer<QTextBrowser> m_browser;
};
