#include "ValueDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

QWidget* MainWindowOrActive()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    return QApplication::activeWindow();
}

TValueDialog::TValueDialog(const QString& caption, QWidget* parent)
    : QDialog(parent ? parent : MainWindowOrActive())
{
    setWindowTitle(caption);
    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* frame = new QVBoxLayout(this);
    frame->setSizeConstraint(QLayout::SetFixedSize);
    frame->addWidget(buttons);
}

void TValueDialog::SetBody(QLayout* body)
{
    static_cast<QVBoxLayout*>(layout())->insertLayout(0, body);
}
