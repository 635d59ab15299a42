#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QSplitter;

namespace vorpex {

class FilesView;
class PreviewPane;
class VorpexDoc;

// The preview pane beside the list and its command (View, "Preview", F3, remembered, off at first): while
// shown, the pane shows the list's current file, and is emptied before the catalogue it shows goes.
// Made and owned by the main frame; GUI thread only.
class PreviewController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPreviewKey = "View/Preview";

    // Adds the pane to `splitter` after the list, and the command to the View menu of `frame`.
    PreviewController(QMainWindow* frame, QSplitter* splitter, FilesView* list, VorpexDoc* doc);

    PreviewPane* pane() const { return m_pane; }
    QAction* action() const { return m_action; }

public slots:
    void setShown(bool shown);

private:
    void update();

    QSplitter* m_splitter;
    FilesView* m_list;
    VorpexDoc* m_document;
    PreviewPane* m_pane;
    QAction* m_action;
};

} // namespace vorpex
