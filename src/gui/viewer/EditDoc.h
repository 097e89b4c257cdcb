#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>

class CMyEditView;
class GzipUnpacker;
class LargeLogView;
class LogFileLoader;
class QKeyEvent;
class QTimer;

// The viewer's document: the log file shown in its view. It only ever reads the file; what
// is typed into the view is never written anywhere.
//
// Files up to 1 MiB load into the text view at once. Larger ones are shown through the
// large-file view, which holds an index rather than the text. Typing into that view makes a
// file of up to the text view's capacity editable: the text view fills in steps from the
// event loop, the large view showing meanwhile, and takes over at the same place with the
// keys typed. Larger files stay read-only. A compressed file (".gz") is first unpacked on a
// worker thread into a temporary file, which the large-file view then shows and which is
// removed when another file is shown or the viewer closes.
class CEditDoc {
public:
    // Files larger than this are shown through the large-file view.
    static constexpr std::int64_t kLargeFileLimit = std::int64_t{1} << 20;
    // Files up to this size can be typed into: the text view's capacity.
    static constexpr std::int64_t kEditableLimit = 16'777'215;

    CEditDoc(CMyEditView& view, LargeLogView& largeView);
    ~CEditDoc();
    CEditDoc(const CEditDoc&) = delete;
    CEditDoc& operator=(const CEditDoc&) = delete;

    // Shows the file: a small one loaded at once under the wait cursor, a larger one in the
    // large-file view, its first screen at once. A load still running is abandoned. When the
    // file cannot be opened the message for its cause is shown and the view keeps the text
    // it had.
    bool OnOpenDocument(const std::string& path);
    // While the large view indexes, or the text view fills to take over from it.
    bool IsLoading() const;
    // Whether the file shown is in the large-file view.
    bool IsLarge() const;
    // How far the index or the text view's fill has come, 0 to 100.
    int LoadPercent() const;
    // Told after each step of a load and at its end.
    std::function<void()> m_onLoadStep;
    // For tests: the size above which files go to the large-file view. Returns the previous.
    static std::int64_t SetLargeFileLimit(std::int64_t limit);

    // Records the file shown; the title is its name as the file system displays it.
    void SetPathName(const std::string& path);
    const std::string& GetPathName() const { return m_path; }
    const QString& GetTitle() const { return m_title; }

    // Follows the view's own modify flag; cleared after each load.
    bool IsModified() const;

private:
    bool OpenLarge(const std::string& path, std::int64_t length);
    bool StartUnpack(const std::string& path);
    void UnpackStep();
    // Removes the temporary file a compressed one was unpacked into, closing it first.
    void ReleaseUnpacked();
    // A key that edits, typed into the large view: kept, and the text view made to take over.
    void OnTypedIntoLarge(const QKeyEvent& event);
    void StartTextLoad();
    void AbandonLoad();
    void LoadStep();
    void EndLoad();
    void TakeOverFromLarge();

    CMyEditView& m_view;
    LargeLogView& m_large;
    std::unique_ptr<LogFileLoader> m_loader;
    std::unique_ptr<QTimer> m_step;
    std::unique_ptr<GzipUnpacker> m_unpacker;
    std::unique_ptr<QTimer> m_unpackPoll;
    // Typed into the large view while the text view fills; replayed when it takes over.
    std::vector<std::unique_ptr<QKeyEvent>> m_typed;
    std::string m_path;
    QString m_title;
};
