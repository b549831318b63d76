#include "WindowDialogHost.h"

#include <QTextBrowser>
#include <QUrl>

QString HelpSection(int context)
{
    switch (context) {
    case 1503: return QStringLiteral("window");
    default: return QStringLiteral("contents");
    }
}

TWindowDialogHost::~TWindowDialogHost() { delete m_browser; }

void TWindowDialogHost::ModalStarted()
{
    if (m_fnHold)
        m_fnHold(true);
}

void TWindowDialogHost::ModalEnded()
{
    if (m_fnHold)
        m_fnHold(false);
}

void TWindowDialogHost::ShowHelp(int context)
{
    if (!m_browser) {
        m_browser = new QTextBrowser;
        m_browser->setWindowTitle(QStringLiteral("Vantry Help"));
        m_browser->setAttribute(Qt::WA_DeleteOnClose);
        m_browser->resize(560, 480);
        m_browser->setSource(QUrl(QStringLiteral("qrc:/vantry/help/manual.html")));
    }
    const QString section = HelpSection(context);
    if (section == QStringLiteral("contents"))
        m_browser->scrollToAnchor(QStringLiteral("panes"));
    m_browser->scrollToAnchor(section);
    m_browser->show();
    m_browser->raise();
}
