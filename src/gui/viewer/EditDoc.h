#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QString>

class CMyEditView;
class LargeLogView;
class LogFileLoader;
class QTimer;

// The viewer's document: the log file shown in its view. It only ever reads the file; what
// is typed into the view is never written anywhere.
class CEditDoc {
public:
    // Files up to this size load at once; larger ones fill the view in steps.
    static constexpr std::int64_t kLoadAtOnceLimit = std::int64_t{1} << 20;
    // Files larger than this are shown through the large-file view, read-only: the text
    // view's capacity.
    static constexpr std::int64_t kLargeFileLimit = 16'777'215;

    CEditDoc(CMyEditView& view, LargeLogView& largeView);
    ~CEditDoc();
    CEditDoc(const CEditDoc&) = delete;
    CEditDoc& operator=(const CEditDoc&) = delete;

    // Loads the file into the view: a small one at once under the wait cursor, a larger one
    // in steps from the event loop, its first screen at once. A load still running is
    // abandoned. When the file cannot be opened the message for its cause is shown and the
    // view keeps the text it had.
    bool OnOpenDocument(const std::string& path);
    bool IsLoading() const;
    // Whether the file shown is in the large-file view.
    bool IsLarge() const;
    // How much of a file loading in steps is shown, 0 to 100.
    int LoadPercent() const;
    // Told after each step of a load and at its end.
    std::function<void()> m_onLoadStep;
    // For tests: the size above which files load in steps. Returns the previous.
    static std::int64_t SetLoadAtOnceLimit(std::int64_t limit);
    // For tests: the size above which files go to the large-file view. Returns the previous.
    static std::int64_t SetLargeFileLimit(std::int64_t limit);

    // Records the file shown; the title is its name as the file system displays it.
    void SetPathName(const std::string& path);
    const std::string& GetPathName() const { return m_path; }
    const QString& GetTitle() const { return m_title; }

    // Follows the view's own modify flag; cleared after each load.
    bool IsModified() const;

private:
    bool StartLoad(const std::string& path);
    bool OpenLarge(const std::string& path, std::int64_t length);
    void AbandonLoad();
    void LoadStep();
    void EndLoad();

    CMyEditView& m_view;
    LargeLogView& m_large;
    std::unique_ptr<LogFileLoader> m_loader;
    std::unique_ptr<QTimer> m_step;
    std::string m_path;
    QString m_title;
};
