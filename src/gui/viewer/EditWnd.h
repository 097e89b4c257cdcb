#pragma once
#include <functional>
#include <memory>

#include <QMainWindow>

class CEditDoc;
class CMyEditView;
class LargeLogView;
class QAction;
class QStackedWidget;
class QPrinter;

// The viewer's frame: a top-level window beside the main window, half the screen's width
// and height, with its own menu and no bars. It owns its view and its document.
class CEditWnd : public QMainWindow {
    Q_OBJECT
public:
    // `printer` is the application's: Print Setup changes it for all later printing.
    // `about` shows the application's About box.
    CEditWnd(QPrinter& printer, std::function<void(QWidget*)> about);
    ~CEditWnd() override;

    CEditDoc& GetDocument() const { return *m_document; }
    CMyEditView& GetView() const { return *m_view; }
    LargeLogView& GetLargeView() const { return *m_largeView; }
    // "log - " and the document's title.
    void UpdateCaption();

    QAction* PrintSetupAction() const { return m_printSetup; }
    QAction* PrintAction() const { return m_print; }
    QAction* CloseAction() const { return m_close; }
    QAction* SelectAllAction() const { return m_selectAll; }
    QAction* CopyAction() const { return m_copy; }
    QAction* FindAction() const { return m_find; }
    QAction* WordWrapAction() const { return m_wordWrap; }
    QAction* AboutAction() const { return m_about; }

signals:
    // The window was closed (menu, close box or system menu); it is to be deleted.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    QAction* AddCommand(QMenu* menu, const char* text, int id);
    void UpdateCommands();
    void ShowDocumentView();

    QPrinter& m_printer;
    std::function<void(QWidget*)> m_showAbout;
    QStackedWidget* m_stack;
    CMyEditView* m_view;
    LargeLogView* m_largeView;
    std::unique_ptr<CEditDoc> m_document;
    QAction* m_printSetup = nullptr;
    QAction* m_print = nullptr;
    QAction* m_close = nullptr;
    QAction* m_selectAll = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_find = nullptr;
    QAction* m_wordWrap = nullptr;
    QAction* m_about = nullptr;
};
