#include "MessageBoxes.h"

#include "DialogHost.h"
#include "StringTable.h"

#include <QMessageBox>

namespace {

TMessagePresenter& Presenter()
{
    static TMessagePresenter presenter;
    return presenter;
}

}  // namespace

int ShowMessage(QWidget* parent, const QString& text, TMessageKind kind, const QString& givenCaption)
{
    TModalScope modal;
    if (Presenter())
        return Presenter()(parent, text, kind);
    const QString caption = givenCaption.isEmpty() ? QString::fromUtf8(FixedText::kApplicationTitle) : givenCaption;
    if (kind == TMessageKind::Question)
        return QMessageBox::question(parent, caption, text) == QMessageBox::Yes
                   ? MessageBoxAnswer::kYes
                   : MessageBoxAnswer::kNo;
    QMessageBox::critical(parent, caption, text);
    return MessageBoxAnswer::kOk;
}

void SetMessagePresenter(TMessagePresenter presenter) { Presenter() = std::move(presenter); }

QString TableString(int id)
{
    const char* text = LoadStringId(id);
    return text ? QString::fromUtf8(text) : QString();
}
