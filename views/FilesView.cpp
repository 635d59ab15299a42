#include "views/FilesView.h"

#include <QHeaderView>
#include <algorithm>
#include <array>

#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFile.h"

namespace vorpex {

FilesView::FilesView(QWidget* parent) : PaneView(parent) {
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

    m_largeImages.create(QStringLiteral(":/res/list_large.png"), 32);
    m_smallImages.create(QStringLiteral(":/res/list_small.png"), 16);
    m_model.setIcons(m_smallImages.icon(0), m_smallImages.icon(1));
    setIconSize(QSize(16, 16));
    setModel(&m_model);

    QHeaderView* head = header();
    // A click on a title sorts by that column, a second reverses, a third brings back the archive's order.
    head->setSectionsClickable(true);
    head->setSortIndicatorShown(false);
    connect(head, &QHeaderView::sectionClicked, this, &FilesView::onHeaderClicked);
    head->setSectionsMovable(false);
    head->setStretchLastSection(false);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->resizeSection(0, kNameWidth);
    head->resizeSection(1, kSizeWidth);
    head->resizeSection(2, kTypeWidth);

    connect(this, &QAbstractItemView::doubleClicked, this, &FilesView::onLButtonDblClk);
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (m_model.isMatches() && index.isValid())
            emit matchOpened(index.row());
    });
}

void FilesView::setCatalogue(const PackFile* pack, const NameCodec* codec) {
    m_packFile = pack;
    m_codec = codec;
    deleteAllItems();
}

void FilesView::showFolder(const PackFolder* folder) {
    m_model.showFolder(m_packFile, folder, m_codec);
    fitNameColumn();
    fitSizeColumn();
    showSortIndicator(); // the sort by folder goes with the matches
    emit selectionUpdated();
}

void FilesView::showMatches(std::vector<FindHit> hits) {
    m_model.showMatches(m_packFile, std::move(hits), m_codec);
    fitNameColumn();
    showSortIndicator();
    emit selectionUpdated();
}

void FilesView::onHeaderClicked(int column) {
    int sortColumn = column;
    Qt::SortOrder order = Qt::AscendingOrder;
    if (m_model.sortColumn() == column) {
        if (m_model.sortOrder() == Qt::AscendingOrder)
            order = Qt::DescendingOrder;
        else
            sortColumn = FilesModel::kNoSort;
    }
    m_model.setSort(sortColumn, order);
    showSortIndicator();
}

void FilesView::showSortIndicator() {
    const int column = m_model.sortColumn();
    header()->setSortIndicatorShown(column != FilesModel::kNoSort);
    if (column != FilesModel::kNoSort)
        header()->setSortIndicator(column, m_model.sortOrder());
}

QString FilesView::sizeText(uint64_t bytes) {
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

QString FilesView::summaryText(uint64_t items, uint64_t bytes) {
    return QStringLiteral("%1 %2, %3")
        .arg(items)
        .arg(items == 1 ? QStringLiteral("item") : QStringLiteral("items"), sizeText(bytes));
}

QString FilesView::selectionSummary() const {
    const std::vector<int> rows = selectedRowNumbers();
    if (rows.empty() || !m_packFile)
        return {};
    uint64_t bytes = 0;
    for (int row : rows) {
        if (const PackFolder* folder = m_model.folderAt(row))
            bytes += m_packFile->countBelow(*folder).m_byteCount; // what Extract would write
        else if (const PackEntry* entry = m_model.entryAt(row))
            bytes += entry->size();
    }
    return summaryText(rows.size(), bytes);
}

void FilesView::deleteAllItems() {
    m_model.clear();
    emit selectionUpdated();
}

// The name column fits its widest name. Measuring every row would cost too much for a folder of a
// hundred thousand files, so each name is first estimated from a table of character widths (a sum per
// byte, which only kerning can make wrong), and only the few widest estimates are measured for real.
void FilesView::widenNameColumn() {
    // Each row counts on a big list: past this many the column is left as the user sees it.
    if (m_model.rowCount() > kWidenRows)
        return;
    const int width = header()->sectionSize(0);
    fitNameColumn();
    if (header()->sectionSize(0) < width)
        header()->resizeSection(0, width);
}

void FilesView::fitNameColumn() {
    const int rows = m_model.rowCount();
    const QFontMetrics metrics(font());
    const NameCodec* codec = m_model.codec();

    std::array<int, 256> widths{};
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const std::string text = codec ? codec->decode(std::string_view(&byte, 1)) : std::string(1, byte);
        widths[b] = metrics.horizontalAdvance(QString::fromStdString(text));
    }

    constexpr int kMeasured = 8;
    std::vector<std::pair<int, int>> widest; // (estimate, row), at most kMeasured, smallest first
    widest.reserve(kMeasured + 1);
    for (int row = 0; row < rows; ++row) {
        int estimate = 0;
        for (unsigned char c : m_model.rawName(row))
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
    const QString title = m_model.headerData(0, Qt::Horizontal).toString();
    int width =
        header()->fontMetrics().horizontalAdvance(title) + 4 * style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (const auto& [estimate, row] : widest)
        width = std::max(width, itemDelegate()->sizeHint(option, m_model.index(row, 0)).width());
    header()->resizeSection(0, width);
}

// Never narrower than its 60 pixels, and wide enough for the biggest file's size (the longest text).
void FilesView::fitSizeColumn() {
    int biggest = -1;
    uint32_t size = 0;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const PackEntry* entry = m_model.entryAt(row);
        if (entry && (biggest < 0 || entry->size() > size)) {
            biggest = row;
            size = entry->size();
        }
    }
    int width = kSizeWidth;
    if (biggest >= 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        width = std::max(width, itemDelegate()->sizeHint(option, m_model.index(biggest, 1)).width());
    }
    header()->resizeSection(1, width);
}

std::vector<int> FilesView::selectedRowNumbers() const {
    std::vector<int> rows;
    const QModelIndexList selected = selectionModel()->selectedRows(0);
    rows.reserve(selected.size());
    for (const QModelIndex& index : selected)
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FilesView::getSelectedRows(std::vector<const PackFolder*>& folders,
                                std::vector<const PackEntry*>& files) const {
    for (int row : selectedRowNumbers()) {
        if (const PackFolder* folder = m_model.folderAt(row))
            folders.push_back(folder);
        else if (const PackEntry* entry = m_model.entryAt(row))
            files.push_back(entry);
    }
}

Selection FilesView::selection() const {
    Selection selection;
    getSelectedRows(selection.m_folders, selection.m_files);
    return selection;
}

bool FilesView::hasSelection() const {
    return selectionModel()->hasSelection();
}

void FilesView::onLButtonDblClk(const QModelIndex& index) {
    // A match is shown where it lies (MatchOpened, on activation) rather than opened.
    if (m_model.isMatches())
        return;
    if (const PackFolder* folder = index.isValid() ? m_model.folderAt(index.row()) : nullptr)
        emit folderOpened(folder);
}

} // namespace vorpex
