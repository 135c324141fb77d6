#pragma once
// Keeps a line edit to the characters its dialog accepts. A typed character
// that is not accepted is dropped before it reaches the edit, so it neither
// changes the text nor marks the edit modified; control keys and shortcuts
// (Backspace, Delete, arrows, Ctrl+V) always pass. Text that arrives any other
// way from the user (paste, drop, input method) has the characters that are not
// accepted removed; when that leaves the text as it was, the edit's modified
// state is kept as it was too. A paste that would make the text longer than
// the limit is refused as a whole.

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

class TCharFilter : public QObject {
public:
    using Accepts = std::function<bool(QChar)>;

    // maxChars < 0: no limit of its own (the edit's maxLength still applies).
    // With a limit, a character is dropped when the text would grow past it;
    // text longer than that set by the program is left as it is.
    TCharFilter(QLineEdit* edit, Accepts accepts, int maxChars = -1);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool DropsTypedChar(QChar ch) const;
    void OnTextEdited(const QString& text);
    void Remember();

    QLineEdit* m_edit;
    Accepts m_accepts;
    int m_maxChars;
    QString m_lastText;
    bool m_lastModified = false;
};
