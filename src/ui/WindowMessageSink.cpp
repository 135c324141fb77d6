#include "WindowMessageSink.h"

#include "ValueDialog.h"
#include "session/Password.h"
#include "session/Server.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QWidget* BoxParent()
{
    QWidget* active = QApplication::activeWindow();
    return active ? active : MainWindowOrActive();
}

// Standard buttons carry the texts of the program's own dialogs.
void AddButton(QMessageBox& box, QMessageBox::StandardButton button, const QString& text)
{
    box.addButton(button)->setText(text);
}

int ShowBox(QMessageBox::Icon icon, const QString& text,
            std::initializer_list<std::pair<QMessageBox::StandardButton, QString>> buttons)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::NoButton, BoxParent());
    for (const auto& [button, caption] : buttons)
        AddButton(box, button, caption);
    box.setDefaultButton(buttons.begin()->first);
    return box.exec();
}

} // namespace

void TWindowMessageSink::ShowMessage(TMsgKind kind, const QString& text)
{
    const bool error = kind == TMsgKind::Error;
    if (ApplicationTerminating()) {
        StandardErrorSink().ShowMessage(kind, text);
        return;
    }
    ShowBox(error ? QMessageBox::Critical : QMessageBox::Warning, text,
            {{QMessageBox::Ok, QStringLiteral("OK")}});
}

bool TWindowMessageSink::Confirm(const QString& text, TConfirmButtons buttons)
{
    if (ApplicationTerminating())
        return StandardErrorSink().Confirm(text, buttons);
    if (buttons == TConfirmButtons::YesNo)
        return ShowBox(QMessageBox::Question, text,
                       {{QMessageBox::Yes, QStringLiteral("Да")}, {QMessageBox::No, QStringLiteral("Нет")}})
            == QMessageBox::Yes;
    return ShowBox(QMessageBox::Question, text,
                   {{QMessageBox::Ok, QStringLiteral("OK")}, {QMessageBox::Cancel, QStringLiteral("Отмена")}})
        == QMessageBox::Ok;
}

TPasswordAnswer TWindowMessageSink::AskPassword(QString& password)
{
    if (ApplicationTerminating())
        return TPasswordAnswer::Cancelled;
    TFormPassword dialog;
    dialog.SetHint(PasswordHint);
    if (dialog.exec() != QDialog::Accepted)
        return TPasswordAnswer::Cancelled;
    if (!dialog.EditChanged())
        return TPasswordAnswer::Untouched;
    password = dialog.Edit1->text();
    return TPasswordAnswer::Entered;
}
