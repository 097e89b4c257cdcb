#include "gui/viewer/EditDoc.h"

#include <QApplication>
#include <QFileInfo>

#include "core/platform/MessageBox.h"
#include "gui/framework/DisplayText.h"
#include "gui/viewer/LogFileText.h"
#include "gui/viewer/MyEditView.h"

namespace {
// The wait cursor for as long as the load runs, whichever way it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Reads and decodes the whole file before the view is touched, so a failed read leaves
// the previous text in place.
bool LoadText(const std::string& path, QString& text, std::string& errorText) {
    WaitCursor wait;
    QByteArray bytes;
    if (!ReadLogFile(path, bytes, errorText))
        return false;
    text = DecodeLogBytes(bytes);
    return true;
}
} // namespace

bool CEditDoc::OnOpenDocument(const std::string& path) {
    QString text;
    std::string errorText;
    if (!LoadText(path, text, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    WaitCursor wait;
    m_view.SetLoadedText(text);
    return true;
}

void CEditDoc::SetPathName(const std::string& path) {
    m_path = path;
    m_title = QFileInfo(QString::fromStdString(path)).fileName();
}

bool CEditDoc::IsModified() const {
    return m_view.document()->isModified();
}
