#include "app/FindController.h"

#include <QItemSelectionModel>
#include <QKeyEvent>

#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/FindBar.h"

CFindController::CFindController(CFindBar* bar, CFilesView* list, CDirView* tree, QObject* parent)
    : QObject(parent), m_pBar(bar), m_pList(list), m_pTree(tree) {
    connect(m_pBar, &CFindBar::TextChanged, this, &CFindController::OnTextChanged);
    connect(m_pBar, &CFindBar::Accepted, this, &CFindController::OnAccepted);
    connect(m_pBar, &CFindBar::MoveToResults, this, &CFindController::OnMoveToResults);
    connect(m_pBar, &CFindBar::Closed, this, [this] {
        m_Runner.Cancel();
        RestoreList();
        m_pList->setFocus(Qt::OtherFocusReason);
    });
    connect(&m_Runner, &CFindRunner::Found, this, &CFindController::OnFound);
    connect(m_pList, &CFilesView::MatchOpened, this, &CFindController::ShowMatch);
    m_pList->installEventFilter(this);
}

bool CFindController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_pBar->isVisible()) {
        m_pBar->Close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CFindController::SetCatalogue(const CPackFile* pack, const CNameCodec* codec) {
    m_Runner.SetCatalogue(pack, codec);
    m_pPack = pack;
    m_pBar->SetResultText({});
    if (pack && m_pBar->isVisible() && !m_pBar->Text().isEmpty())
        m_Runner.Search(m_pBar->Text());
}

void CFindController::Open() {
    m_pBar->Open();
}

void CFindController::OnTextChanged(const QString& text) {
    if (text.isEmpty()) {
        m_Runner.Cancel();
        m_pBar->SetResultText({});
        RestoreList();
        return;
    }
    if (m_pPack)
        m_Runner.Search(text);
}

void CFindController::OnFound(const QString& pattern, std::vector<CFindHit> hits) {
    if (!m_pBar->isVisible() || pattern != m_pBar->Text())
        return;
    const size_t count = hits.size();
    m_pList->ShowMatches(std::move(hits));
    m_pBar->SetResultText(count == 1 ? QStringLiteral("1 found") : QStringLiteral("%1 found").arg(count));
}

void CFindController::ShowMatch(int row) {
    const CFilesModel* model = m_pList->GetModel();
    const CPackFolder* parent = model->ParentAt(row);
    if (!m_pList->IsShowingMatches() || !parent)
        return;
    const CPackFolder* folder = model->FolderAt(row);
    const CPackEntry* entry = model->EntryAt(row);
    m_pTree->SelectFolder(parent);
    // The tree tells the list only when its selection moves; it may stand on that folder already.
    if (m_pList->IsShowingMatches())
        m_pList->ShowFolder(parent);
    const int shown = m_pList->GetModel()->RowOf(folder, entry);
    if (shown < 0)
        return;
    const QModelIndex index = m_pList->GetModel()->index(shown, 0);
    m_pList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_pList->scrollTo(index);
    m_pList->setFocus(Qt::OtherFocusReason);
}

void CFindController::OnAccepted() {
    if (!m_pList->IsShowingMatches() || m_pList->GetModel()->rowCount() == 0)
        return;
    const QModelIndex current = m_pList->currentIndex();
    ShowMatch(current.isValid() ? current.row() : 0);
}

void CFindController::OnMoveToResults() {
    if (m_pList->GetModel()->rowCount() == 0)
        return;
    if (!m_pList->currentIndex().isValid())
        m_pList->selectionModel()->setCurrentIndex(m_pList->GetModel()->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    m_pList->setFocus(Qt::OtherFocusReason);
}

void CFindController::RestoreList() {
    if (m_pList->IsShowingMatches())
        m_pList->ShowFolder(m_pTree->SelectedFolder());
}
