#pragma once
// "Port": the user types the port of a meter's own serial line (a number, a device path, or sim).
#include <QDialog>

class QLineEdit;

class CPort : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 148 };
    explicit CPort(QWidget* parent = nullptr);

    void SetPort(const QString& port);
    QString Port() const;
    QLineEdit* portEdit() const { return m_pEdit; }

private:
    QLineEdit* m_pEdit;
};
