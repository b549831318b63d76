#include "FilePicker.h"

#include "IconIds.h"
#include "LFN.h"
#include "LocalFolders.h"
#include "MessageBoxes.h"
#include "OVFDrives.h"
#include "RowTexts.h"
#include "StringTable.h"
#include "TreeList.h"
#include "TreeListFlags.h"
#include "Volumes.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <filesystem>

namespace {
constexpr int kToolUp = 0;
constexpr int kToolNewFolder = 1;
constexpr int kToolList = 2;
constexpr int kToolDetails = 3;
constexpr int kSpacing = 4;
constexpr int kHeaderHeight = 20;
constexpr unsigned kFolderAttributes = kOVF_attrDirectory | kOVF_attrReadOnly | kOVF_attrArchive;

int DriveIcon(int kind)
{
    switch (kind) {
    case kDriveRemovable:
    case kDriveDiskette: return kIconRemovableDrive;
    case kDriveRemote: return kIconRemoteDrive;
    case kDriveCdRom: return kIconCdRomDrive;
    case kDriveFixed: return kIconFixedDrive;
    default: return kIconRamDrive;
    }
}

bool IsRemovable(int kind) { return kind == kDriveRemovable || kind == kDriveCdRom || kind == kDriveDiskette; }

// A removable drive is ready when its folder is there (a medium is mounted) and can be read.
bool MediumPresent(const QString& root)
{
    TOVFDriveInfo info;
    std::error_code error;
    std::vector<TListingEntry> probe;
    return OVF_GetDriveInfo(root.at(0).toLower().unicode() - 'a', info) &&
           std::filesystem::is_directory(info.strPosixDir, error) && ReadLocalFolder(root, probe);
}

// The local desktop folder's volume ("Desktop:\\"); empty when this machine has none.
QString DesktopRoot() { return QString::fromStdString(GetDesktopPath()); }


// The root of the first fixed drive, a: to z:; empty when there is none.
QString FirstFixedRoot()
{
    for (int i = 0; i < 26; ++i)
        if (GetDriveKind(i) == kDriveFixed)
            return QString(QLatin1Char(static_cast<char>('A' + i))) + QStringLiteral(":\\");
    return {};
}
} // namespace

TFilePicker::TFilePicker(QWidget* parent) : QWidget(parent)
{
    m_title = new QLabel(this);
    m_driveLabel = new QLabel(tr("Local Drives:"), this);
    m_drives = new QComboBox(this);
    m_driveTree = new TTreeList(m_drives);
    m_driveTree->SetFlags(kTreeModeFlag);
    m_drives->setModel(m_driveTree->Model());
    m_drives->setView(m_driveTree);
    m_drives->setObjectName(QStringLiteral("drives"));
    m_drives->setMinimumContentsLength(16);
    connect(m_drives, &QComboBox::activated, this, [this](int index) {
        if (!m_disabled && !m_fillingCombo)
            DriveChosen(index);
    });

    static constexpr QStyle::StandardPixmap kFaces[] = {QStyle::SP_FileDialogToParent, QStyle::SP_FileDialogNewFolder,
                                                         QStyle::SP_FileDialogListView,
                                                         QStyle::SP_FileDialogDetailedView};
    static const char* const kTips[] = {"Up One Folder", "Create New Folder", "List", "Details"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton(this);
        button->setIcon(style()->standardIcon(kFaces[i]));
        button->setToolTip(tr(kTips[i]));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        m_tools[static_cast<std::size_t>(i)] = button;
    }
    connect(m_tools[kToolUp], &QToolButton::clicked, this, &TFilePicker::UpOneFolder);
    connect(m_tools[kToolNewFolder], &QToolButton::clicked, this, &TFilePicker::NewFolder);
    connect(m_tools[kToolList], &QToolButton::clicked, this, [this] { SetView(EViewMode::List); });
    connect(m_tools[kToolDetails], &QToolButton::clicked, this, [this] { SetView(EViewMode::Details); });

    m_list = new TTreeList(this);
    m_list->setObjectName(QStringLiteral("list"));
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_details = new TTreeList(this);
    m_details->setObjectName(QStringLiteral("details"));
    for (TTreeList* list : {m_list, m_details}) {
        list->installEventFilter(this);
        list->AcceptDrops(true);
        connect(list, &TTreeList::rowsDropped, this, [this](int row, TTreeList*, TTreeList*) { emit rowsDropped(this, row); });
        connect(list, &TTreeList::filesDropped, this,
                [this](int row, const QStringList& paths) { emit filesDropped(this, row, paths); });
        connect(list, &TTreeList::rowDoubleClicked, this, [this](TTreeList*) { OpenRow(); });
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { emit selectionChanged(this); });
    }
    BuildHeaders();
    // A new pane starts in details mode and is switched to list view.
    SetView(EViewMode::List);
}

TFilePicker::~TFilePicker()
{
    // The lists go after the pane: their last focus change is not the pane's business.
    for (TTreeList* list : Lists())
        list->removeEventFilter(this);
}

void TFilePicker::BuildHeaders()
{
    static const char* const kNames[] = {"Name", "Size", "Modified"};
    for (int key = 0; key < 3; ++key) {
        auto* header = new QPushButton(tr(kNames[key]), this);
        header->setFocusPolicy(Qt::NoFocus);
        header->setFlat(false);
        connect(header, &QPushButton::clicked, this, [this, key] { SortBy(key); });
        m_headers[static_cast<std::size_t>(key)] = header;
    }
}

void TFilePicker::SetDriveLabel(const QString& text) { m_driveLabel->setText(text); }

void TFilePicker::SetTitle(const QString& text)
{
    m_title->setText(text);
    setWindowTitle(text);
}

TTreeList* TFilePicker::ActiveList() const { return m_view.mode == EViewMode::List ? m_list : m_details; }
TTreeList* TFilePicker::OtherList() const { return m_view.mode == EViewMode::List ? m_details : m_list; }

void TFilePicker::SetFolder(const QString& folder)
{
    m_previousPath = m_path;
    m_path = folder;
    Fill();
}

void TFilePicker::Fill()
{
    TTreeList* list = ActiveList();
    list->Model()->Clear();
    const unsigned columns = m_view.mode == EViewMode::Details ? kTreeShowSize | kTreeShowModified : 0;
    list->SetFlags(m_view.ListingFlags() | columns);
    if (!ListRows())
        m_listingFailed = true;
    FinishListing();
}

bool TFilePicker::ListRows()
{
    TTreeList* list = ActiveList();
    return list->ListFolder(kFolderAttributes, QStringLiteral("*.*"), list->Flags(), m_path) == 0;
}

void TFilePicker::FinishListing()
{
    TTreeList* list = ActiveList();
    // The up-one-folder button stands for "..".
    const int parent = list->Model()->FindRow(TableString(IDS_PARENT_FOLDER_ROW));
    if (parent >= 0)
        list->Model()->RemoveRow(parent);
    FillDriveCombo();
    UpdateButtons();
    if (list->hasFocus())
        SelectRows(m_memory.Texts());
}

void TFilePicker::AddPathRows(int level)
{
    const QStringList parts = m_path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (int i = 1; i < parts.size(); ++i) {
        TTreeRow row;
        row.text = parts.at(i);
        row.type = kRowFolder;
        row.level = level + i;
        row.icon = i + 1 == parts.size() ? kIconOpenFolder : kIconFolder;
        m_driveTree->Model()->AddRow(row);
    }
}

void TFilePicker::FillDriveCombo()
{
    m_fillingCombo = true;
    TTreeListModel* model = m_driveTree->Model();
    model->Clear();
    const QString desktop = DesktopRoot();
    const QChar current = m_path.size() < 2 || m_path.at(1) != QLatin1Char(':') ? QChar() : m_path.at(0).toLower();
    int selected = -1;
    if (m_offersDesktop && !desktop.isEmpty()) {
        TTreeRow row;
        row.text = QStringLiteral("Desktop");
        row.type = kRowOther;
        row.icon = kIconDesktop;
        model->AddRow(row);
        if (m_path.startsWith(desktop.chopped(1), Qt::CaseInsensitive)) {
            AddPathRows(0);
            selected = model->rowCount() - 1;
        }
    }
    for (int i = 0; i < 26; ++i) {
        const int kind = GetDriveKind(i);
        if (kind == kDriveNone)
            continue;
        TOVFDriveInfo info;
        OVF_GetDriveInfo(i, info);
        const QChar letter = QLatin1Char(static_cast<char>('a' + i));
        TTreeRow row;
        row.text = QString(letter) + QLatin1Char(':');
        if (i > 1 && !info.strLabel.empty())
            row.text += QStringLiteral(" (") + FromAnsi(info.strLabel.c_str()) + QLatin1Char(')');
        row.type = kRowOther;
        row.icon = DriveIcon(kind);
        model->AddRow(row);
        if (letter == current) {
            AddPathRows(0);
            selected = model->rowCount() - 1;
        }
    }
    m_drives->setCurrentIndex(selected);
    m_fillingCombo = false;
}

void TFilePicker::DriveChosen(int index)
{
    const TTreeListModel* model = m_driveTree->Model();
    const TTreeRow row = model->Row(index);
    // The desktop volume's root and the folders under it are named from "Desktop:".
    const auto rootOf = [](const TTreeRow& top) {
        return top.icon == kIconDesktop ? DesktopRoot().chopped(1) : top.text.left(2).toUpper();
    };
    if (row.level == 0 && row.icon == kIconDesktop) {
        SetFolder(DesktopRoot());
        return;
    }
    if (row.level == 0 && row.text.size() >= 2 && row.text.at(1) == QLatin1Char(':')) {
        const QString root = row.text.left(2).toUpper() + QLatin1Char('\\');
        const int kind = GetDriveKind(row.text.at(0).toLower().unicode() - 'a');
        if (IsRemovable(kind) && !MediumPresent(root)) {
            ShowMessage(window(), QString::fromStdString(FormatStringId(IDS_DRIVE_NOT_READY, root.toStdString())),
                        TMessageKind::Stop);
            if (m_path.left(2).compare(root.left(2), Qt::CaseInsensitive) == 0)
                SetFolder(FirstFixedRoot());
            else
                FillDriveCombo();
            return;
        }
        SetFolder(root);
        return;
    }
    // A folder under the current drive: the path down to that row.
    QStringList names{row.text};
    int level = row.level;
    for (int i = index - 1; i >= 0 && level > 0; --i) {
        const TTreeRow above = model->Row(i);
        if (above.level < level) {
            names.prepend(above.level == 0 ? rootOf(above) : above.text);
            level = above.level;
        }
    }
    SetFolder(names.join(QLatin1Char('\\')));
}

void TFilePicker::ChooseDrive(int index)
{
    m_drives->setCurrentIndex(index);
    DriveChosen(index);
}

void TFilePicker::UpdateButtons()
{
    m_tools[kToolUp]->setEnabled(!m_disabled && !IsFolderRoot(m_path));
    BYTE attributes = 0;
    std::string ansi;
    const bool readOnly = ToAnsi(m_path, ansi) && LFN_GetFileAttributes(ansi.c_str(), &attributes) &&
                          (attributes & kOVF_attrReadOnly);
    m_tools[kToolNewFolder]->setEnabled(!m_disabled && !readOnly);
    m_tools[kToolList]->setEnabled(!m_disabled);
    m_tools[kToolDetails]->setEnabled(!m_disabled);
}

void TFilePicker::UpOneFolder()
{
    if (m_disabled || IsFolderRoot(m_path))
        return;
    SetFolder(ParentFolder(m_path));
    TTreeList* list = ActiveList();
    if (list->Model()->rowCount() > 0)
        list->setCurrentIndex(list->Model()->index(0));
    list->setFocus();
}

void TFilePicker::OpenRow()
{
    if (m_disabled)
        return;
    TTreeList* list = ActiveList();
    const std::vector<int> rows = list->SelectedRows();
    if (rows.size() != 1 || list->Model()->RowType(rows.front()) == kRowFile)
        return;
    const QString name = list->Model()->RowText(rows.front());
    m_memory.Clear();
    SetFolder(name == TableString(IDS_PARENT_FOLDER_ROW) ? ParentFolder(m_path) : JoinFolder(m_path, name));
}

void TFilePicker::NewFolder()
{
    if (m_disabled)
        return;
    TNewFolderDialog dialog(*this, true, window());
    dialog.RunModal();
}

bool TFilePicker::CreateFolder(const QString& path)
{
    std::string ansi;
    return ToAnsi(path, ansi) && LFN_mkdir(ansi.c_str(), FALSE) == 0;
}

void TFilePicker::AddFolderRow(const QString& name)
{
    Fill();
    SelectRows({name});
    ActiveList()->setFocus();
}

void TFilePicker::SetView(EViewMode mode)
{
    if (mode == EViewMode::Details && !OffersDetails())
        return;
    const bool changed = mode != m_view.mode;
    m_view.mode = mode;
    const bool details = mode == EViewMode::Details;
    if (changed || !m_list->isVisible() == !m_details->isVisible()) {
        m_list->setVisible(!details);
        m_details->setVisible(details);
        for (QPushButton* header : m_headers)
            header->setVisible(details);
        LayOut();
        if (!m_path.isEmpty()) {
            Fill();
            ActiveList()->setFocus();
        }
    }
    ShowHeaderState();
}

void TFilePicker::SortBy(int key)
{
    if (m_view.mode != EViewMode::Details || !OffersDetails())
        return;
    m_view.Sort(key);
    ShowHeaderState();
    Fill();
    ActiveList()->setFocus();
}

void TFilePicker::ShowHeaderState()
{
    static const char* const kNames[] = {"Name", "Size", "Modified"};
    static const QString kMarks[] = {QString(), QStringLiteral(" \u25B2"), QStringLiteral(" \u25BC")};
    for (int key = 0; key < 3; ++key) {
        QPushButton* header = m_headers[static_cast<std::size_t>(key)];
        const int state = m_view.HeaderState(key);
        header->setText(tr(kNames[key]) + kMarks[state]);
        header->setProperty("sortState", state);
    }
}

void TFilePicker::SetPaneEnabled(bool enabled)
{
    m_disabled = !enabled;
    m_list->setEnabled(enabled);
    m_details->setEnabled(enabled);
    m_drives->setEnabled(enabled);
    for (QPushButton* header : m_headers)
        header->setEnabled(enabled);
    UpdateButtons();
}

bool TFilePicker::ListHasFocus() const { return ActiveList()->hasFocus(); }

bool TFilePicker::DriveListHasFocus() const { return m_drives->hasFocus() || m_driveTree->hasFocus(); }

int TFilePicker::SelectedCount() const
{
    // A list without the focus keeps its selection in the memory.
    const std::size_t selected = ActiveList()->SelectedRows().size();
    return static_cast<int>(selected > 0 ? selected : static_cast<std::size_t>(m_memory.Texts().size()));
}

std::vector<TPickEntry> TFilePicker::GetSelItems() const
{
    const TTreeList* list = ActiveList();
    std::vector<int> rows = list->SelectedRows();
    if (rows.empty()) {
        // The list has lost the focus: its selection lives in the memory.
        for (const QString& text : m_memory.Texts()) {
            const int row = list->Model()->FindRow(text);
            if (row >= 0)
                rows.push_back(row);
        }
    }
    std::vector<TPickEntry> entries;
    for (const int row : rows) {
        const TTreeRow found = list->Model()->Row(row);
        TPickEntry entry;
        entry.name = found.text;
        entry.kind = found.type == kRowFolder ? 1 : found.type == kRowFile ? 0 : 2;
        entry.icon = found.icon;
        entry.size = found.size < 0 ? 0 : found.size;
        entry.time = found.Time();
        entries.push_back(entry);
    }
    return entries;
}

void TFilePicker::SelectRows(const QStringList& names)
{
    TTreeList* list = ActiveList();
    QItemSelectionModel* selection = list->selectionModel();
    selection->clearSelection();
    for (const QString& name : names) {
        const int row = list->Model()->FindRow(name);
        if (row >= 0)
            selection->select(list->Model()->index(row), QItemSelectionModel::Select);
    }
}

void TFilePicker::OnListFocus(TTreeList* list, bool gained)
{
    if (gained) {
        // The list holds its selection itself while it has the focus.
        SelectRows(m_memory.Texts());
        m_memory.Clear();
        emit focusGained(this);
        return;
    }
    QStringList texts;
    for (const int row : list->SelectedRows())
        texts << list->Model()->RowText(row);
    m_memory.Remember(texts);
    list->selectionModel()->clearSelection();
}

bool TFilePicker::eventFilter(QObject* watched, QEvent* event)
{
    auto* list = qobject_cast<TTreeList*>(watched);
    if (list && event->type() == QEvent::KeyPress) {
        // Enter opens the selected folder.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenRow();
            return true;
        }
    }
    if (list && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        // A popup (the drive list, a menu) takes the focus only for a moment.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason)
            OnListFocus(list, event->type() == QEvent::FocusIn);
    }
    return QWidget::eventFilter(watched, event);
}

bool TFilePicker::DragNameSizeBoundary(int x) { return DragBoundary(&TColumnBounds::MoveNameSize, x); }

bool TFilePicker::DragSizeModifiedBoundary(int x) { return DragBoundary(&TColumnBounds::MoveSizeModified, x); }

bool TFilePicker::DragBoundary(bool (TColumnBounds::*moveBoundary)(int, int), int x)
{
    if (!(m_columns.*moveBoundary)(x, m_details->viewport()->width()))
        return false;
    m_details->SetColumns(m_columns.nameSize, m_columns.sizeModified);
    LayOut();
    return true;
}

void TFilePicker::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

void TFilePicker::LayOut()
{
    const int width = this->width();
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height() + 2;
    m_title->setGeometry(0, 0, width, line);
    const int comboHeight = m_drives->sizeHint().height();
    int y = line + kSpacing;
    const int labelWidth = metrics.horizontalAdvance(m_driveLabel->text()) + 2 * kSpacing;
    m_driveLabel->setGeometry(0, y, labelWidth, comboHeight);
    const int toolSize = comboHeight;
    const int comboWidth = std::max(80, width - labelWidth - 4 * (toolSize + 2) - 2 * kSpacing);
    m_drives->setGeometry(labelWidth, y, comboWidth, comboHeight);
    int x = labelWidth + comboWidth + kSpacing;
    for (QToolButton* tool : m_tools) {
        tool->setGeometry(x, y, toolSize, toolSize);
        x += toolSize + 2;
    }
    y += comboHeight + kSpacing;
    const int listHeight = std::max(0, height() - y);
    m_list->setGeometry(0, y, width, listHeight);
    m_details->setGeometry(0, y + kHeaderHeight, width, std::max(0, listHeight - kHeaderHeight));

    // The columns: Size/Modified leaves room for the widest date and time, Name/Size for a size.
    const int listWidth = m_details->viewport()->width() > 0 ? m_details->viewport()->width() : width;
    if (m_firstDetailsWidth != listWidth) {
        m_firstDetailsWidth = listWidth;
        const int dateWidth = WidestDateWidth(metrics) + metrics.horizontalAdvance(QStringLiteral("  11:58:00 PM"));
        const int sizeWidth = metrics.horizontalAdvance(QStringLiteral("88,888 KB"));
        m_columns.sizeModified = listWidth - dateWidth - 10;
        m_columns.nameSize = m_columns.sizeModified - sizeWidth - 10;
        m_details->SetColumns(m_columns.nameSize, m_columns.sizeModified);
    }
    const int bounds[] = {0, m_columns.nameSize, m_columns.sizeModified, width};
    for (int key = 0; key < 3; ++key)
        m_headers[static_cast<std::size_t>(key)]->setGeometry(bounds[key], y, std::max(0, bounds[key + 1] - bounds[key]),
                                                              kHeaderHeight);
}
