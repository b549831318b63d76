#include "ConfirmReplaceDialog.h"

#include "MessageBoxes.h"
#include "StatusWindow.h"
#include "StringTable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

QString ReplaceNamesText(const QStringList& names)
{
    QString text;
    for (qsizetype i = 0; i < names.size() && i < TConfirmReplaceDialog::kMaxNames; ++i)
        text += names.at(i) + QStringLiteral("  ");
    if (names.size() > TConfirmReplaceDialog::kMaxNames)
        text += QStringLiteral(" ...");
    return text;
}

TConfirmReplaceDialog::TConfirmReplaceDialog(QWidget* owner, const QStringList& names, bool readOnlyMode,
                                             TStatusWindow* statusWindow)
    : TDialog(owner), m_statusWindow(statusWindow)
{
    setWindowTitle(QString::fromUtf8(FixedText::kApplicationTitle));
    auto* layout = new QGridLayout(this);

    auto* icon = new QLabel(this);
    SetControlId(icon, kIconId);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(iconSize));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);

    auto* question = new QLabel(
        readOnlyMode ? TableString(IDS_READ_ONLY_DELETE)
                     : QStringLiteral("Replacing the selected item(s) cannot be undone. Overwrite?"),
        this);
    SetControlId(question, kQuestionId);
    question->setWordWrap(true);
    layout->addWidget(question, 0, 1);

    auto* shown = new QLabel(ReplaceNamesText(names), this);
    SetControlId(shown, kNamesId);
    shown->setWordWrap(true);
    shown->setTextFormat(Qt::PlainText);
    shown->setMaximumWidth(DialogUnits(0, 0, 190, 0).width());
    layout->addWidget(shown, 1, 1);

    auto* row = new QHBoxLayout;
    const struct {
        const char* text;
        int id;
    } buttons[] = {{"Yes", kYes}, {"Yes To All", kYesToAll}, {"No", kNo}, {"Cancel", kCancel}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        SetControlId(button, b.id);
        button->setAutoDefault(false);
        row->addWidget(button);
        const int result = b.id;
        connect(button, &QPushButton::clicked, this, [this, result] {
            m_yesToAll = result == kYesToAll;
            m_no = result == kNo;
            done(result);
        });
    }
    MakeDefaultButton(kYes);
    layout->addLayout(row, 2, 0, 1, 2);

    if (m_statusWindow)
        m_statusWindow->StopAnimation();
}

TConfirmReplaceDialog::~TConfirmReplaceDialog()
{
    if (m_statusWindow)
        m_statusWindow->ResumeAnimation();
}
