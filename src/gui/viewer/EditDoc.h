#pragma once
#include <string>

#include <QString>

class CMyEditView;

// The viewer's document: the log file shown in its view. It only ever reads the file; what
// is typed into the view is never written anywhere.
class CEditDoc {
public:
    explicit CEditDoc(CMyEditView& view) : m_view(view) {}

    // Loads the file into the view under the wait cursor. On failure the message for its
    // cause is shown and the view keeps the text it had.
    bool OnOpenDocument(const std::string& path);

    // Records the file shown; the title is its name as the file system displays it.
    void SetPathName(const std::string& path);
    const std::string& GetPathName() const { return m_path; }
    const QString& GetTitle() const { return m_title; }

    // Follows the view's own modify flag; cleared after each load.
    bool IsModified() const;

private:
    CMyEditView& m_view;
    std::string m_path;
    QString m_title;
};
