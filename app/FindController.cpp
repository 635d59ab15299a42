#include "app/FindController.h"

#include <QItemSelectionModel>
#include <QKeyEvent>

#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/FindBar.h"

namespace vorpex {

FindController::FindController(FindBar* bar, FilesView* list, DirView* tree, QObject* parent)
    : QObject(parent), m_bar(bar), m_list(list), m_tree(tree) {
    connect(m_bar, &FindBar::textChanged, this, &FindController::onTextChanged);
    connect(m_bar, &FindBar::accepted, this, &FindController::onAccepted);
    connect(m_bar, &FindBar::moveToResults, this, &FindController::onMoveToResults);
    connect(m_bar, &FindBar::closed, this, [this] {
        m_runner.cancel();
        restoreList();
        m_list->setFocus(Qt::OtherFocusReason);
    });
    connect(&m_runner, &FindRunner::found, this, &FindController::onFound);
    connect(m_list, &FilesView::matchOpened, this, &FindController::showMatch);
    m_list->installEventFilter(this);
}

bool FindController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_bar->isVisible()) {
        m_bar->close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void FindController::setCatalogue(const PackFile* pack, const NameCodec* codec) {
    m_runner.setCatalogue(pack, codec);
    m_pack = pack;
    m_bar->setResultText({});
    if (pack && m_bar->isVisible() && !m_bar->text().isEmpty())
        m_runner.search(m_bar->text());
}

void FindController::open() {
    m_bar->open();
}

void FindController::onTextChanged(const QString& text) {
    if (text.isEmpty()) {
        m_runner.cancel();
        m_bar->setResultText({});
        restoreList();
        return;
    }
    if (m_pack)
        m_runner.search(text);
}

void FindController::onFound(const QString& pattern, std::vector<FindHit> hits) {
    if (!m_bar->isVisible() || pattern != m_bar->text())
        return;
    const size_t count = hits.size();
    m_list->showMatches(std::move(hits));
    m_bar->setResultText(count == 1 ? QStringLiteral("1 found") : QStringLiteral("%1 found").arg(count));
}

void FindController::showMatch(int row) {
    const FilesModel* model = m_list->getModel();
    const PackFolder* parent = model->parentAt(row);
    if (!m_list->isShowingMatches() || !parent)
        return;
    const PackFolder* folder = model->folderAt(row);
    const PackEntry* entry = model->entryAt(row);
    m_tree->selectFolder(parent);
    // The tree tells the list only when its selection moves; it may stand on that folder already.
    if (m_list->isShowingMatches())
        m_list->showFolder(parent);
    const int shown = m_list->getModel()->rowOf(folder, entry);
    if (shown < 0)
        return;
    const QModelIndex index = m_list->getModel()->index(shown, 0);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_list->scrollTo(index);
    m_list->setFocus(Qt::OtherFocusReason);
}

void FindController::onAccepted() {
    if (!m_list->isShowingMatches() || m_list->getModel()->rowCount() == 0)
        return;
    const QModelIndex current = m_list->currentIndex();
    showMatch(current.isValid() ? current.row() : 0);
}

void FindController::onMoveToResults() {
    if (m_list->getModel()->rowCount() == 0)
        return;
    if (!m_list->currentIndex().isValid())
        m_list->selectionModel()->setCurrentIndex(
            m_list->getModel()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->setFocus(Qt::OtherFocusReason);
}

void FindController::restoreList() {
    if (m_list->isShowingMatches())
        m_list->showFolder(m_tree->selectedFolder());
}

} // namespace vorpex
