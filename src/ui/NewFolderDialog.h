// The "Create New Folder" dialog, for the local pane or the remote side.
#pragma once

#include "Dialog.h"

class QLineEdit;

// The local pane the dialog makes a folder in.
class ILocalFolderPane {
public:
    virtual ~ILocalFolderPane() = default;
    virtual QString CurrentFolder() const = 0;
    // Makes the folder at `path`; false when it could not be made.
    virtual bool CreateFolder(const QString& path) = 0;
    // Shows the new folder in the pane's list, selected.
    virtual void AddFolderRow(const QString& name) = 0;
};

// The remote side the dialog asks to make a folder.
class IRemoteFolderSite {
public:
    virtual ~IRemoteFolderSite() = default;
    // The remote volume's naming kind: 0 short names, 2 names of at most 31 characters.
    virtual int NamingKind() const = 0;
    virtual QStringList CurrentEntries() const = 0;
    // Starts making the folder; the answer comes later through the session.
    virtual void CreateRemoteFolder(const QString& name) = 0;
};

class TNewFolderDialog : public TDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 17014;
    static constexpr int kLabelId = 17025;
    static constexpr int kEditId = 17026;

    // The local variant; `longNames` is false on a platform without long file names.
    TNewFolderDialog(ILocalFolderPane& pane, bool longNames, QWidget* parent = nullptr);
    // The remote variant.
    TNewFolderDialog(IRemoteFolderSite& site, QWidget* parent = nullptr);

    QLineEdit* NameEdit() const { return m_edit; }

protected:
    void InitDialog() override;
    bool Validate() override;

private:
    void Build();
    bool ValidateLocal(const QString& name);
    bool ValidateRemote(const QString& name);
    void Refuse(const QString& message);

    ILocalFolderPane* m_pane = nullptr;
    IRemoteFolderSite* m_site = nullptr;
    bool m_longNames = true;
    QLineEdit* m_edit = nullptr;
};
