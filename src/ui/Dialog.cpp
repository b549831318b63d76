#include "Dialog.h"

#include "DialogHost.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

IDialogHost*& InstalledHost()
{
    static IDialogHost* host = nullptr;
    return host;
}

const char kControlIdProperty[] = "vantryControlId";

}  // namespace

IDialogHost& DialogHost()
{
    static IDialogHost none;
    return InstalledHost() ? *InstalledHost() : none;
}

void SetDialogHost(IDialogHost* host) { InstalledHost() = host; }

QRect CentredInside(QSize size, const QRect& owner, const QRect& screen)
{
    const QRect around = owner.isValid() ? owner : screen;
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(around.center());
    if (placed.right() > screen.right())
        placed.moveRight(screen.right());
    if (placed.bottom() > screen.bottom())
        placed.moveBottom(screen.bottom());
    if (placed.left() < screen.left())
        placed.moveLeft(screen.left());
    if (placed.top() < screen.top())
        placed.moveTop(screen.top());
    return placed;
}

TDialog::TDialog(QWidget* parent) : QDialog(parent) {}

TDialog::~TDialog()
{
    if (m_initialised)
        DialogHost().RemoveIdleNotifier(this);
}

void TDialog::CreateModeless()
{
    m_modal = false;
    setModal(false);
    show();
}

int TDialog::RunModal()
{
    m_modal = true;
    TModalScope modal;
    return exec();
}

void TDialog::InitDialog()
{
    DialogHost().ApplyLook(this);
    Centre();
    DialogHost().UseNormalFont(this);
    DialogHost().AddIdleNotifier(this);
    ShowControl(kHelpButtonId, true);
}

void TDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void TDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !m_modal)
        DialogHost().RegisterActiveModeless(isActiveWindow() ? this : nullptr);
    QDialog::changeEvent(event);
}

void TDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDialog::ShowHelp()
{
    DialogHost().ShowHelp(m_nIDHelp);
    emit helpRequested(m_nIDHelp);
}

void TDialog::Centre()
{
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* shownOn = owner ? owner->screen() : screen();
    const QRect screenRect = shownOn ? shownOn->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect ownerRect = owner ? owner->frameGeometry() : QRect();
    const QSize size = frameGeometry().size().isEmpty() ? sizeHint() : frameGeometry().size();
    move(CentredInside(size, ownerRect, screenRect).topLeft());
}

void TDialog::accept()
{
    if (!Validate())
        return;
    QDialog::accept();
}

void TDialog::reject() { QDialog::reject(); }

void TDialog::SetControlId(QWidget* control, int id)
{
    control->setProperty(kControlIdProperty, id);
    if (id == kHelpButtonId)
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, &TDialog::ShowHelp);
}

QWidget* TDialog::Control(int id) const
{
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children)
        if (child->property(kControlIdProperty).toInt() == id && id != 0)
            return child;
    return nullptr;
}

int TDialog::ControlTextLength(int id) const
{
    const QWidget* control = Control(id);
    if (!control)
        return -1;
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return static_cast<int>(edit->text().size());
    if (auto* label = qobject_cast<const QLabel*>(control))
        return static_cast<int>(label->text().size());
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return static_cast<int>(button->text().size());
    return static_cast<int>(control->windowTitle().size());
}

void TDialog::EnableControl(int id, bool enable)
{
    if (QWidget* control = Control(id))
        control->setEnabled(enable);
}

bool TDialog::IsControlEnabled(int id) const
{
    const QWidget* control = Control(id);
    return control && control->isEnabled();
}

void TDialog::ShowControl(int id, bool show)
{
    if (QWidget* control = Control(id))
        control->setVisible(show);
}

bool TDialog::IsControlVisible(int id) const
{
    const QWidget* control = Control(id);
    return control && control->isVisibleTo(this);
}

void TDialog::InvalidateControl(int id)
{
    if (QWidget* control = Control(id))
        control->update();
}

QRect TDialog::ControlRect(int id) const
{
    const QWidget* control = Control(id);
    if (!control)
        return {};
    return QRect(control->mapTo(this, QPoint(0, 0)), control->size());
}

void TDialog::MoveControl(int id, const QRect& rect)
{
    if (QWidget* control = Control(id))
        control->setGeometry(QRect(control->parentWidget()->mapFrom(this, rect.topLeft()), rect.size()));
}

void TDialog::UpdateControl(int id)
{
    if (QWidget* control = Control(id))
        control->repaint();
}

void TDialog::MakeDefaultButton(int id)
{
    auto* chosen = qobject_cast<QPushButton*>(Control(id));
    if (!chosen)
        return;
    const auto buttons = findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        if (button != chosen)
            button->setDefault(false);
    chosen->setDefault(true);
}

QRect TDialog::DialogUnits(int x, int y, int width, int height) const
{
    const QFontMetrics metrics(font());
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
}
