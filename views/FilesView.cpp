#include "views/FilesView.h"

#include <QHeaderView>
#include <algorithm>
#include <array>

#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFile.h"

CFilesView::CFilesView(QWidget* parent) : CPaneView(parent) {
    setObjectName(QStringLiteral("FilesView"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);

    m_largeImages.Create(QStringLiteral(":/res/list_large.png"), 32);
    m_smallImages.Create(QStringLiteral(":/res/list_small.png"), 16);
    m_Model.SetIcons(m_smallImages.Icon(0), m_smallImages.Icon(1));
    setIconSize(QSize(16, 16));
    setModel(&m_Model);

    QHeaderView* head = header();
    // A click on a title sorts by that column, a second reverses, a third brings back the archive's order.
    head->setSectionsClickable(true);
    head->setSortIndicatorShown(false);
    connect(head, &QHeaderView::sectionClicked, this, &CFilesView::OnHeaderClicked);
    head->setSectionsMovable(false);
    head->setStretchLastSection(false);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->resizeSection(0, kNameWidth);
    head->resizeSection(1, kSizeWidth);
    head->resizeSection(2, kTypeWidth);

    connect(this, &QAbstractItemView::doubleClicked, this, &CFilesView::OnLButtonDblClk);
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (m_Model.IsMatches() && index.isValid())
            emit MatchOpened(index.row());
    });
}

void CFilesView::SetCatalogue(const CPackFile* pack, const CNameCodec* codec) {
    m_pPackFile = pack;
    m_pCodec = codec;
    DeleteAllItems();
}

void CFilesView::ShowFolder(const CPackFolder* folder) {
    m_Model.ShowFolder(m_pPackFile, folder, m_pCodec);
    FitNameColumn();
    FitSizeColumn();
    ShowSortIndicator(); // the sort by folder goes with the matches
    emit SelectionChanged();
}

void CFilesView::ShowMatches(std::vector<CFindHit> hits) {
    m_Model.ShowMatches(m_pPackFile, std::move(hits), m_pCodec);
    FitNameColumn();
    ShowSortIndicator();
    emit SelectionChanged();
}

void CFilesView::OnHeaderClicked(int column) {
    int sortColumn = column;
    Qt::SortOrder order = Qt::AscendingOrder;
    if (m_Model.SortColumn() == column) {
        if (m_Model.SortOrder() == Qt::AscendingOrder)
            order = Qt::DescendingOrder;
        else
            sortColumn = CFilesModel::kNoSort;
    }
    m_Model.SetSort(sortColumn, order);
    ShowSortIndicator();
}

void CFilesView::ShowSortIndicator() {
    const int column = m_Model.SortColumn();
    header()->setSortIndicatorShown(column != CFilesModel::kNoSort);
    if (column != CFilesModel::kNoSort)
        header()->setSortIndicator(column, m_Model.SortOrder());
}

QString CFilesView::SizeText(uint64_t bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 %2").arg(bytes).arg(bytes == 1 ? QStringLiteral("byte")
                                                                 : QStringLiteral("bytes"));
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QString::fromLatin1(kUnits[unit]));
}

QString CFilesView::SummaryText(uint64_t items, uint64_t bytes) {
    return QStringLiteral("%1 %2, %3")
        .arg(items)
        .arg(items == 1 ? QStringLiteral("item") : QStringLiteral("items"), SizeText(bytes));
}

QString CFilesView::SelectionSummary() const {
    const std::vector<int> rows = GetSelectedRowNumbers();
    if (rows.empty() || !m_pPackFile)
        return {};
    uint64_t bytes = 0;
    for (int row : rows) {
        if (const CPackFolder* folder = m_Model.FolderAt(row))
            bytes += m_pPackFile->CountBelow(*folder).m_nBytes; // what Extract would write
        else if (const CPackEntry* entry = m_Model.EntryAt(row))
            bytes += entry->GetSize();
    }
    return SummaryText(rows.size(), bytes);
}

void CFilesView::DeleteAllItems() {
    m_Model.Clear();
    emit SelectionChanged();
}

// The name column fits its widest name. Measuring every row would cost too much for a folder of a
// hundred thousand files, so each name is first estimated from a table of character widths (a sum per
// byte, which only kerning can make wrong), and only the few widest estimates are measured for real.
void CFilesView::FitNameColumn() {
    const int rows = m_Model.rowCount();
    const QFontMetrics metrics(font());
    const CNameCodec* codec = m_Model.Codec();

    std::array<int, 256> widths{};
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const std::string text = codec ? codec->Decode(std::string_view(&byte, 1)) : std::string(1, byte);
        widths[b] = metrics.horizontalAdvance(QString::fromStdString(text));
    }

    constexpr int kMeasured = 8;
    std::vector<std::pair<int, int>> widest; // (estimate, row), at most kMeasured, smallest first
    widest.reserve(kMeasured + 1);
    for (int row = 0; row < rows; ++row) {
        int estimate = 0;
        for (unsigned char c : m_Model.RawName(row))
            estimate += widths[c];
        if (widest.size() == kMeasured && estimate <= widest.front().first)
            continue;
        widest.insert(std::upper_bound(widest.begin(), widest.end(), std::make_pair(estimate, row)),
                      std::make_pair(estimate, row));
        if (widest.size() > kMeasured)
            widest.erase(widest.begin());
    }

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // Never narrower than the column's title.
    const QString title = m_Model.headerData(0, Qt::Horizontal).toString();
    int width =
        header()->fontMetrics().horizontalAdvance(title) + 4 * style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (const auto& [estimate, row] : widest)
        width = std::max(width, itemDelegate()->sizeHint(option, m_Model.index(row, 0)).width());
    header()->resizeSection(0, width);
}

// Never narrower than its 60 pixels, and wide enough for the biggest file's size (the longest text).
void CFilesView::FitSizeColumn() {
    int biggest = -1;
    uint32_t size = 0;
    for (int row = 0; row < m_Model.rowCount(); ++row) {
        const CPackEntry* entry = m_Model.EntryAt(row);
        if (entry && (biggest < 0 || entry->GetSize() > size)) {
            biggest = row;
            size = entry->GetSize();
        }
    }
    int width = kSizeWidth;
    if (biggest >= 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        width = std::max(width, itemDelegate()->sizeHint(option, m_Model.index(biggest, 1)).width());
    }
    header()->resizeSection(1, width);
}

std::vector<int> CFilesView::GetSelectedRowNumbers() const {
    std::vector<int> rows;
    const QModelIndexList selected = selectionModel()->selectedRows(0);
    rows.reserve(selected.size());
    for (const QModelIndex& index : selected)
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CFilesView::GetSelectedRows(std::vector<const CPackFolder*>& folders,
                                 std::vector<const CPackEntry*>& files) const {
    for (int row : GetSelectedRowNumbers()) {
        if (const CPackFolder* folder = m_Model.FolderAt(row))
            folders.push_back(folder);
        else if (const CPackEntry* entry = m_Model.EntryAt(row))
            files.push_back(entry);
    }
}

CSelection CFilesView::GetSelection() const {
    CSelection selection;
    GetSelectedRows(selection.m_Folders, selection.m_Files);
    return selection;
}

bool CFilesView::HasSelection() const {
    return selectionModel()->hasSelection();
}

void CFilesView::OnLButtonDblClk(const QModelIndex& index) {
    // A match is shown where it lies (MatchOpened, on activation) rather than opened.
    if (m_Model.IsMatches())
        return;
    if (const CPackFolder* folder = index.isValid() ? m_Model.FolderAt(index.row()) : nullptr)
        emit FolderOpened(folder);
}
