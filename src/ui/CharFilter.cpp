#include "CharFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

TCharFilter::TCharFilter(QLineEdit* edit, Accepts accepts, int maxChars)
    : QObject(edit)
    , m_edit(edit)
    , m_accepts(std::move(accepts))
    , m_maxChars(maxChars)
{
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, &TCharFilter::OnTextEdited);
    // textEdited comes before textChanged, so m_lastText still holds the text
    // before the user's edit when OnTextEdited looks at it.
    connect(edit, &QLineEdit::textChanged, this, &TCharFilter::Remember);
    Remember();
}

// Typed characters are refused here rather than after the fact, so the cursor
// and the undo history stay as they were.
bool TCharFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        if (!shortcut && key->text().size() == 1 && DropsTypedChar(key->text().at(0)))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

bool TCharFilter::DropsTypedChar(QChar ch) const
{
    if (ch.unicode() < 32 || ch.unicode() == 127)
        return false;
    if (!m_accepts(ch))
        return true;
    const qsizetype kept = m_edit->text().size() - m_edit->selectedText().size();
    return m_maxChars >= 0 && kept >= m_maxChars;
}

void TCharFilter::OnTextEdited(const QString& text)
{
    QString kept;
    int cursor = m_edit->cursorPosition();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (m_accepts(text[i]))
            kept += text[i];
        else if (i < m_edit->cursorPosition())
            --cursor;
    }
    const bool tooLong = m_maxChars >= 0 && kept.size() > m_maxChars && kept.size() > m_lastText.size();
    if (kept == text && !tooLong)
        return;
    const bool unchanged = kept == m_lastText || tooLong;
    const bool modified = unchanged ? m_lastModified : true;
    const QString result = unchanged ? m_lastText : kept; // setText updates m_lastText
    m_edit->setText(result);
    m_edit->setCursorPosition(cursor);
    m_edit->setModified(modified);
}

void TCharFilter::Remember()
{
    m_lastText = m_edit->text();
    m_lastModified = m_edit->isModified();
}
