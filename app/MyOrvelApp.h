#pragma once
// The application object: settings identity, the main window, the start options.
#include <QApplication>
#include <memory>

class CMainFrame;

class CMyOrvelApp : public QApplication {
    Q_OBJECT
public:
    CMyOrvelApp(int& argc, char** argv);
    ~CMyOrvelApp() override;

    // Creates and shows the main window; false when the command line is wrong (usage printed).
    bool InitInstance();
    CMainFrame* mainFrame() const { return m_pMainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
