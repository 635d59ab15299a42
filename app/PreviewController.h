#pragma once

#include <QObject>

class CFilesView;
class CPreviewPane;
class CVorpexDoc;
class QAction;
class QMainWindow;
class QSplitter;

// The preview pane beside the list and its command (View, "Preview", F3, remembered, off at first): while
// shown, the pane shows the list's current file, and is emptied before the catalogue it shows goes.
// Made and owned by the main frame; GUI thread only.
class PreviewController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPreviewKey = "View/Preview";

    // Adds the pane to `splitter` after the list, and the command to the View menu of `frame`.
    PreviewController(QMainWindow* frame, QSplitter* splitter, CFilesView* list, CVorpexDoc* doc);

    CPreviewPane* pane() const { return m_pane; }
    QAction* action() const { return m_action; }

public slots:
    void setShown(bool shown);

private:
    void update();

    QSplitter* m_splitter;
    CFilesView* m_list;
    CVorpexDoc* m_document;
    CPreviewPane* m_pane;
    QAction* m_action;
};
