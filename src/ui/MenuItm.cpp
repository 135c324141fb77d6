#include "MenuItm.h"

#include "CharFilter.h"
#include "UpDown.h"
#include "session/UnitDialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace {
constexpr int ExtensionDigits = 8;
}

TFormMenuItm::TFormMenuItm(QWidget* parent)
    : TValueDialog(QStringLiteral("Выберите действие"), parent)
    , rbNone(new QRadioButton(QStringLiteral("Не назначено"), this))
    , rbMenu(new QRadioButton(QStringLiteral("Меню"), this))
    , rbXfer(new QRadioButton(QStringLiteral("Перевод вызова на абонента"), this))
    , rbMsgLeave(new QRadioButton(QStringLiteral("Запись сообщения в ящик"), this))
    , rbMsgGet(new QRadioButton(QStringLiteral("Чтение сообщений из ящика"), this))
    , udMenu(new TUpDown(Unit::Menus.First, Unit::Menus.Last, this))
    , edtMenu(udMenu->lineEdit())
    , edtExt(new QLineEdit(this))
{
    auto* group = new QButtonGroup(this);
    for (QRadioButton* rb : {rbNone, rbMenu, rbXfer, rbMsgLeave, rbMsgGet})
        group->addButton(rb);
    new TCharFilter(edtExt, &TFormMenuItm::edtExtKeyPress, ExtensionDigits);

    // The checked button decides which field is usable, whoever checked it.
    connect(rbNone, &QRadioButton::toggled, this, [this](bool on) { if (on) rbNoneClick(); });
    connect(rbMenu, &QRadioButton::toggled, this, [this](bool on) { if (on) rbMenuClick(); });
    for (QRadioButton* rb : {rbXfer, rbMsgLeave, rbMsgGet})
        connect(rb, &QRadioButton::toggled, this, [this](bool on) { if (on) rbXferClick(); });
    rbNone->setChecked(true);

    auto* body = new QGridLayout;
    body->addWidget(rbNone, 0, 0);
    body->addWidget(rbMenu, 1, 0);
    body->addWidget(udMenu, 1, 1);
    body->addWidget(rbMsgLeave, 2, 0);
    body->addWidget(rbMsgGet, 3, 0);
    body->addWidget(rbXfer, 4, 0);
    body->addWidget(edtExt, 4, 1);
    SetBody(body);
}

void TFormMenuItm::HideMailboxActions()
{
    rbMsgLeave->hide();
    rbMsgGet->hide();
}

bool TFormMenuItm::edtExtKeyPress(QChar key)
{
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

void TFormMenuItm::rbNoneClick()
{
    udMenu->setEnabled(false);
    edtExt->setEnabled(false);
}

void TFormMenuItm::rbMenuClick()
{
    udMenu->setEnabled(true);
    edtExt->setEnabled(false);
}

void TFormMenuItm::rbXferClick()
{
    udMenu->setEnabled(false);
    edtExt->setEnabled(true);
}
