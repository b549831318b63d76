// A file pane of the Vantry window: the drive and folder combo, the four tool buttons, the list
// view and the details view with its Name / Size / Modified headers. TFilePicker shows the local
// machine through the file layer; TRemoteFilePicker (RemoteFilePicker.h) the host's side.
// The pane knows nothing of copying: it hands its selection and the drops it receives to the window.
#pragma once

#include "NewFolderDialog.h"
#include "PaneRules.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class TTreeList;

// One selected row, as commands take it: kind 1 folder, 0 file, 2 other.
struct TPickEntry {
    QString name;
    int kind = 0;
    int icon = 0;
    qint64 size = 0;
    std::uint64_t time = 0;
};

class TFilePicker : public QWidget, public ILocalFolderPane {
    Q_OBJECT
public:
    static constexpr int kListId = 17018;
    static constexpr int kDetailsId = 17019;
    static constexpr int kDriveComboId = 17017;

    explicit TFilePicker(QWidget* parent = nullptr);
    ~TFilePicker() override;

    // Lists `folder` (a local pane path) in the current view.
    void SetFolder(const QString& folder);
    QString CurrentFolder() const override { return m_path; }
    // Names the folder without listing it (the listing comes later).
    void SetPathOnly(const QString& folder) { m_path = folder; }
    // Re-reads the current folder.
    virtual void Fill();

    void UpOneFolder();
    // Enter: the one selected folder row is entered.
    void OpenRow();
    virtual void NewFolder();
    void SetView(EViewMode mode);
    void SortBy(int key);
    const TPaneView& View() const { return m_view; }
    // Greys the pane while the window is busy.
    virtual void SetPaneEnabled(bool enabled);
    bool IsPaneEnabled() const { return !m_disabled; }
    virtual void UpdateButtons();

    TTreeList* ActiveList() const;
    // The list view and the details view.
    std::array<TTreeList*, 2> Lists() const { return {m_list, m_details}; }
    TTreeList* OtherList() const;
    TTreeList* DriveTree() const { return m_driveTree; }
    QComboBox* DriveCombo() const { return m_drives; }
    QToolButton* ToolButton(int index) const { return m_tools[static_cast<std::size_t>(index)]; }
    QPushButton* Header(int key) const { return m_headers[static_cast<std::size_t>(key)]; }
    QLabel* Title() const { return m_title; }
    void SetTitle(const QString& text);
    bool ListHasFocus() const;
    bool DriveListHasFocus() const;
    int SelectedCount() const;
    std::vector<TPickEntry> GetSelItems() const;
    // The rows selected in the active list, or those it remembers while it has not the focus.
    QStringList RememberedSelection() const { return m_memory.Texts(); }
    const TColumnBounds& Columns() const { return m_columns; }
    // A boundary dragged in the details header: false when outside its limits.
    bool DragNameSizeBoundary(int x);
    bool DragSizeModifiedBoundary(int x);
    // Selects the rows with these names in the active list.
    void SelectRows(const QStringList& names);

    // ILocalFolderPane
    bool CreateFolder(const QString& path) override;
    void AddFolderRow(const QString& name) override;

    // Chooses the drive combo's row (as the user does).
    void ChooseDrive(int index);
    // Offers the desktop folder ("Desktop", first in the drive combo): the session's host kind says so.
    void SetOffersDesktop(bool offers) { m_offersDesktop = offers; }

signals:
    void focusGained(TFilePicker* pane);
    void selectionChanged(TFilePicker* pane);
    // Rows of another pane's list were dropped at `row` (-1: not on a row).
    void rowsDropped(TFilePicker* target, int row);
    // Local files of another program were dropped at `row` (their POSIX paths).
    void filesDropped(TFilePicker* target, int row, const QStringList& paths);

protected:
    // The details view is offered (not to a host below version 9).
    virtual bool OffersDetails() const { return true; }
    // Puts the rows of the current folder into the active list; false when it cannot be read.
    virtual bool ListRows();
    virtual void FillDriveCombo();
    virtual void DriveChosen(int index);
    // After a listing: ".." gone, combo and buttons brought up to date, memory applied.
    void FinishListing();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The drive combo's rows: drives, then the folders of the current path under the current one.
    void AddPathRows(int level);

    QString m_path;
    QString m_previousPath;
    TPaneView m_view;
    bool m_disabled = false;
    bool m_listingFailed = false;
    bool m_fillingCombo = false;

private:
    void BuildHeaders();
    void LayOut();
    void ShowHeaderState();
    void OnListFocus(TTreeList* list, bool gained);
    bool DragBoundary(bool (TColumnBounds::*moveBoundary)(int, int), int x);

    QLabel* m_title = nullptr;
    QLabel* m_driveLabel = nullptr;
    QComboBox* m_drives = nullptr;
    TTreeList* m_driveTree = nullptr;
    std::array<QToolButton*, 4> m_tools{};
    TTreeList* m_list = nullptr;
    TTreeList* m_details = nullptr;
    std::array<QPushButton*, 3> m_headers{};
    TSelectionMemory m_memory;
    TColumnBounds m_columns;
    int m_firstDetailsWidth = 0;
    bool m_offersDesktop = false;

protected:
    void SetDriveLabel(const QString& text);
};
