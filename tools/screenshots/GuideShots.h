#pragma once
// The pictures of the user guide: the main window with every page loaded in
// system mode from the emulated unit, and each dialog a user meets, opened the
// way a user opens it (a button or a double click on a page) and closed again
// without writing anything; two message boxes the way the window shows them:
// a busy unit, and a system setting refused to the administrator; and the
// transfer window during an upload. Each picture is the widget's own
// rendering (QWidget::grab), so no window manager or screen capture is needed.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class TWindowRig;

class TGuideShots {
public:
    explicit TGuideShots(QString folder);

    // Takes every picture; false after the first that failed (reported on
    // standard error).
    bool Run();

private:
    // Runs shots with a new window connected to a new emulated unit, started
    // with unitArgs.
    bool Session(bool (TGuideShots::*shots)(TWindowRig&), const QStringList& unitArgs = {});
    // The pages and dialogs, logged in as the system user.
    bool SystemSession(TWindowRig& rig);
    bool Pages(TWindowRig& rig);
    bool Dialogs(TWindowRig& rig);
    // With the window's own message boxes: the password prompt and the
    // warning of a busy unit, then the refusal shown to the administrator.
    bool Messages(TWindowRig& rig);
    bool PortDialog(QWidget* window);
    // The transfer window during an upload to the greetings, at its first
    // block.
    bool Transfer(TWindowRig& rig);
    // Queues the shot of the next modal dialog of type T (prepared first, then
    // saved as name and cancelled), runs open, and waits until the dialog was
    // shot and every job it started has ended.
    template <class T>
    bool Modal(TWindowRig& rig, const QString& name, const std::function<void()>& open,
               const std::function<void(T*)>& prepare = {});
    // Saves the widget's picture once pending layout and repaints are done;
    // Write saves it as it is now.
    bool Save(QWidget* widget, const QString& name);
    bool Write(QWidget* widget, const QString& name);
    bool Fail(const QString& what);

    QString m_folder;
    bool m_ok = true;
};
