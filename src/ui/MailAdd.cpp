#include "MailAdd.h"

#include "RadioGroup.h"
#include "UpDown.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TFormMailAdd::TFormMailAdd(QWidget* parent)
    : TValueDialog(QStringLiteral("Создание ящика"), parent)
    , edtOwner(new QLineEdit(this))
    , udSize(new TUpDown(1, 120, this))
    , edtSize(udSize->lineEdit())
    , rgAnnMode(new TRadioGroup(QStringLiteral("Оповещение"), this))
    , lblAnnPeriod(new QLabel(QStringLiteral("Период оповещения, мин:"), this))
    , udAnnPeriod(new TUpDown(1, 99, this))
    , edtAnnPeriod(udAnnPeriod->lineEdit())
{
    udSize->setValue(15);
    udAnnPeriod->setValue(30);
    rgAnnMode->SetItems({QStringLiteral("Отключено"), QStringLiteral("Индикатор"),
                         QStringLiteral("Звонок"), QStringLiteral("Сообщение")});
    connect(rgAnnMode, &TRadioGroup::ItemIndexChanged, this, &TFormMailAdd::rgAnnModeClick);
    rgAnnMode->SetItemIndex(0);
    rgAnnModeClick(0);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Владелец:"), edtOwner);
    fields->addRow(QStringLiteral("Объем, мин:"), udSize);
    auto* body = new QVBoxLayout;
    body->addLayout(fields);
    body->addWidget(rgAnnMode);
    auto* period = new QFormLayout;
    period->addRow(lblAnnPeriod, udAnnPeriod);
    body->addLayout(period);
    SetBody(body);
}

void TFormMailAdd::HideAnnouncement()
{
    rgAnnMode->hide();
    lblAnnPeriod->hide();
    udAnnPeriod->hide();
}

void TFormMailAdd::rgAnnModeClick(int index)
{
    // Only a call or a message repeats the notification.
    udAnnPeriod->setEnabled(index > 1);
}
