#pragma once

#include <QMimeData>
#include <QStringList>
#include <functional>

#include "catalogue/Selection.h"

namespace vorpex {

// Dragging entries out of the panes: a pane's model turns the dragged rows into the selection Extract
// would take and hands it to the stager the application sets, which extracts it and returns what a drop
// target takes (text/uri-list), or null when nothing was made. Without a stager nothing is dragged.
using EntryStager = std::function<QMimeData*(const Selection&)>;

inline QStringList entryMimeTypes() {
    return {QStringLiteral("text/uri-list")};
}

} // namespace vorpex
