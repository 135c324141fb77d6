#pragma once
// A captioned group of mutually exclusive radio items addressed by index, as
// the dialogs' choice lists need: items set from a list of texts, an item index
// (-1 for none) that callers read and write, an optional note shown beside an
// item, and one signal whenever the checked item changes, by the user or not.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QLabel;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(const QString& caption, QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    QStringList Items() const;
    int Count() const { return int(m_buttons.size()); }
    QRadioButton* Button(int index) const { return m_buttons.value(index); }

    int ItemIndex() const;
    // An index outside the items checks none.
    void SetItemIndex(int index);

    void SetNote(int index, const QString& note);
    QString Note(int index) const;

signals:
    void ItemIndexChanged(int index);

private:
    QButtonGroup* m_group;
    QGridLayout* m_grid;
    QList<QRadioButton*> m_buttons;
    QList<QLabel*> m_notes;
};
