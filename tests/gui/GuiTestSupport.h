#pragma once

#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "app/VorpexApp.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"

class CDirView;
class CFilesView;
class CMainFrame;
class CPackFolder;
class QAbstractItemModel;

// Points the settings store at a fresh temporary folder for the whole test program, so that no test reads
// or writes the user's settings. Call once, before any application object is made.
void UseTemporarySettings();
// Empties the temporary settings.
void ClearSettings();

// Writes an archive built from `top` into `dir` under `name` and returns its path.
QString WriteArchive(const QTemporaryDir& dir, const QString& name, const std::vector<CNode>& top);

// An application started the way the program starts, with messages recorded instead of shown.
struct CTestApp {
    CRecordingSink m_Messages;
    std::unique_ptr<CVorpexApp> m_pApp;

    // False when start-up failed.
    bool Start(const QStringList& args = {});
    CMainFrame* Frame() const;
    CDirView* Tree() const;
    CFilesView* List() const;
};

// The texts of row `row` of the file list: name, size, type.
QStringList ListRow(const CFilesView* list, int row);
// Every row of the file list as "name|size|type".
QStringList ListRows(const CFilesView* list);
// The labels of the children of `parent` in a model.
QStringList ChildLabels(const QAbstractItemModel* model, const QModelIndex& parent);
// The child of `parent` labelled `label` (the first one), or an invalid index.
QModelIndex ChildNamed(const QAbstractItemModel* model, const QModelIndex& parent, const QString& label);
