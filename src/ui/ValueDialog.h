#pragma once
// Frame shared by the program's small modal dialogs: a body above an "OK" /
// "Отмена" row, a size fixed to what the body needs, centred on the main
// window. "OK" is the default button (Enter accepts), "Отмена" the cancel
// button (Escape rejects). Callers treat any result but Accepted as cancel.

#include <QDialog>

class QLayout;
class QPushButton;

// The program's main window when one is shown, else the active window, else
// none. Dialogs created without a parent take it as theirs, so they are centred
// on it and stay above it.
QWidget* MainWindowOrActive();

class TValueDialog : public QDialog {
    Q_OBJECT
public:
    TValueDialog(const QString& caption, QWidget* parent);

    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    // Places the dialog's own controls above the button row. The dialog keeps
    // the size they need, also when a caller hides some of them before showing.
    void SetBody(QLayout* body);
};
