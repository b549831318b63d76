// The window's help: the manual built into the program, shown at the section for a help context.
#pragma once

#include "DialogHost.h"

#include <QPointer>
#include <QString>

#include <QTextBrowser>

// The manual's section for a help context ("window" for the window itself, "contents" else).
QString HelpSection(int context);

class THelpHost : public IDialogHost {
public:
    ~THelpHost() override;
    // Opens (or raises) the help window at the context's section.
    void ShowHelp(int context) override;
    QTextBrowser* Browser() const { return m_browser; }

private:
    QPointer<QTextBrowser> m_browser;
};
