#include "NewFolderDialog.h"

#include "MessageBoxes.h"
#include "NewFolderChecks.h"
#include "StringTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TNewFolderDialog::TNewFolderDialog(ILocalFolderPane& pane, bool longNames, QWidget* parent)
    : TDialog(parent), m_pane(&pane), m_longNames(longNames)
{
    Build();
}

TNewFolderDialog::TNewFolderDialog(IRemoteFolderSite& site, QWidget* parent)
    : TDialog(parent), m_site(&site)
{
    Build();
}

void TNewFolderDialog::Build()
{
    setWindowTitle(TableString(IDS_NEW_FOLDER_TITLE));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("New Folder Name:"), this);
    SetControlId(label, kLabelId);
    m_edit = new QLineEdit(this);
    SetControlId(m_edit, kEditId);
    m_edit->setMaxLength(kNewFolderNameMax);
    m_edit->setMinimumWidth(DialogUnits(0, 0, 172, 0).width());
    label->setBuddy(m_edit);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    SetControlId(ok, 1);
    SetControlId(cancel, 2);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TDialog::reject);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    m_edit->setText(TableString(IDS_DEFAULT_FOLDER_NAME));
    m_edit->selectAll();
}

void TNewFolderDialog::InitDialog()
{
    TDialog::InitDialog();
    m_edit->selectAll();
    m_edit->setFocus();
}

bool TNewFolderDialog::Validate()
{
    const QString name = m_edit->text().left(260).trimmed();
    m_edit->setText(name);
    return m_pane ? ValidateLocal(name) : ValidateRemote(name);
}

bool TNewFolderDialog::ValidateLocal(const QString& name)
{
    const QString folder = m_pane->CurrentFolder();
    const TFolderNameVerdict verdict = CheckLocalFolderName(name, folder, m_longNames);
    if (verdict.closesDialog) {
        ShowMessage(this, verdict.message, TMessageKind::Stop);
        reject();
        return false;
    }
    if (verdict.messageId) {
        Refuse(verdict.message);
        return false;
    }
    if (!m_pane->CreateFolder(JoinFolder(folder, name))) {
        Refuse(TableString(IDS_FOLDER_NOT_CREATED));
        return false;
    }
    m_pane->AddFolderRow(name);
    return true;
}

bool TNewFolderDialog::ValidateRemote(const QString& name)
{
    const TFolderNameVerdict verdict =
        CheckRemoteFolderName(name, m_site->NamingKind(), m_site->CurrentEntries());
    if (verdict.messageId) {
        Refuse(verdict.message);
        return false;
    }
    m_site->CreateRemoteFolder(name);
    return true;
}

void TNewFolderDialog::Refuse(const QString& message)
{
    ShowMessage(this, message, TMessageKind::Stop);
    m_edit->selectAll();
    m_edit->setFocus();
}
