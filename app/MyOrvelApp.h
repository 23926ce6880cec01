#pragma once
// The application object: settings identity, the main window, the start options.
#include <QApplication>
#include <QImage>
#include <memory>

class CMainFrame;

class CMyOrvelApp : public QApplication {
    Q_OBJECT
public:
    CMyOrvelApp(int& argc, char** argv);
    ~CMyOrvelApp() override;

    // Creates and shows the main window; false when the command line is wrong (usage printed).
    bool InitInstance();
    // The exit status once --screenshot has ended the program (even before the event loop ran,
    // when a message box's loop took the picture); -1 while it runs.
    int ExitCode() const { return m_nExitCode; }
    CMainFrame* mainFrame() const { return m_pMainFrame.get(); }

private:
    QImage Screenshot() const;

    std::unique_ptr<CMainFrame> m_pMainFrame;
    int m_nExitCode = -1;
};
