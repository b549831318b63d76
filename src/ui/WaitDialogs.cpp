#include "WaitDialogs.h"

#include "StringTable.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TWaitDialog::TWaitDialog(const QString& caption, const QString& before, const QString& after, QWidget* parent)
    : TDialog(parent)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(before, this), 0, Qt::AlignHCenter);
    m_name = new QLabel(QString::fromUtf8(FixedText::kUnknownName), this);
    SetControlId(m_name, kNameId);
    QFont regular = m_name->font();
    regular.setWeight(QFont::Normal);
    m_name->setFont(regular);
    m_name->setTextFormat(Qt::PlainText);
    layout->addWidget(m_name, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(after, this), 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QStringLiteral("Cancel to quit Waiting."), this), 0, Qt::AlignHCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(cancel, 2);
    connect(cancel, &QPushButton::clicked, this, &TWaitDialog::reject);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(DialogUnits(0, 0, 156, 0).width());
}

void TWaitDialog::SetHostName(const QString& name) { m_name->setText(name); }

QString TWaitDialog::HostName() const { return m_name->text(); }

void TWaitDialog::reject()
{
    emit cancelled();
    TDialog::reject();
}

TAdmitWaitDialog::TAdmitWaitDialog(QWidget* parent)
    : TWaitDialog(QString::fromUtf8(FixedText::kApplicationTitle) + QLatin1Char(' '),
                  QStringLiteral("Waiting for"), QStringLiteral("To admit you as a Guest."), parent)
{
}

TScanWaitDialog::TScanWaitDialog(QWidget* parent)
    : TWaitDialog(QString::fromUtf8(FixedText::kApplicationTitle), QStringLiteral("Orvalis Pro is scanning"),
                  QStringLiteral("for remote file system information"), parent)
{
}
