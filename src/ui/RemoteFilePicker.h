// The remote pane: the host's volumes and folders, listed through the guest session. Each
// listing runs from the request to FinishUpDir under the window's busy state.
#pragma once

#include "FilePicker.h"

class IVantryWindow;
class TVantryGuestSession;

class TRemoteFilePicker : public TFilePicker, public IRemoteFolderSite {
    Q_OBJECT
public:
    TRemoteFilePicker(TVantryGuestSession& session, IVantryWindow& window, QWidget* parent = nullptr);

    // Asks the host for the current folder (the volume list first when none is known yet).
    void Fill() override;
    void ListVolumesAndFolder();
    // The listing has been delivered: the rows are shown and busy ends.
    void FinishUpDir();
    // Shows what the session's listing holds for the current folder, without asking the host.
    void ShowListing();
    // The host could not read the folder asked for: back to the one shown before.
    void RestorePrevious();
    // A host below version 9 offers the list view alone.
    void SetOldHost(bool old);
    bool IsOldHost() const { return m_oldHost; }
    void NewFolder() override;
    void UpdateButtons() override;
    // The root path of a volume's name ("c:\" of "c: (System)", "Desktop").
    static QString VolumeRoot(const QString& volumeName);

    // IRemoteFolderSite
    int NamingKind() const override;
    QStringList CurrentEntries() const override;
    void CreateRemoteFolder(const QString& name) override;

protected:
    bool OffersDetails() const override { return !m_oldHost; }
    bool ListRows() override;
    void FillDriveCombo() override;
    void DriveChosen(int index) override;

private:
    TVantryGuestSession& m_session;
    IVantryWindow& m_window;
    bool m_oldHost = false;
    bool m_listing = false;
    bool m_focusAfterListing = false;
};
