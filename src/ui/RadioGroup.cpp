#include "RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent)
    , m_group(new QButtonGroup(this))
    , m_grid(new QGridLayout(this))
{
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit ItemIndexChanged(id);
    });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    qDeleteAll(m_buttons);
    qDeleteAll(m_notes);
    m_buttons.clear();
    m_notes.clear();
    for (const QString& text : items) {
        const int index = int(m_buttons.size());
        auto* button = new QRadioButton(text, this);
        auto* note = new QLabel(this);
        note->hide();
        m_group->addButton(button, index);
        m_grid->addWidget(button, index, 0);
        m_grid->addWidget(note, index, 1);
        m_buttons << button;
        m_notes << note;
    }
}

QStringList TRadioGroup::Items() const
{
    QStringList items;
    for (const QRadioButton* button : m_buttons)
        items << button->text();
    return items;
}

int TRadioGroup::ItemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QRadioButton* button = Button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last checked button by itself.
    if (QAbstractButton* checked = m_group->checkedButton()) {
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
        emit ItemIndexChanged(-1);
    }
}

void TRadioGroup::SetNote(int index, const QString& note)
{
    if (QLabel* label = m_notes.value(index)) {
        label->setText(note);
        label->setVisible(!note.isEmpty());
    }
}

QString TRadioGroup::Note(int index) const
{
    const QLabel* label = m_notes.value(index);
    return label ? label->text() : QString();
}
