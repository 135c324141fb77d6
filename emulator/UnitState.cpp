#include "UnitState.h"

#include "ParameterRules.h"
#include "UnitText.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

namespace {

void Warn(const QString& text)
{
    std::fprintf(stderr, "parlotel-unit: %s\n", qPrintable(text));
}

QString ParamKey(int code)
{
    return QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0'));
}

QString VoiceFolderFor(const QString& stateFile)
{
    const QFileInfo info(stateFile);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".voice");
}

} // namespace

bool TUnitState::Open(const QString& stateFile, QString& error)
{
    m_file = stateFile;
    if (m_file.isEmpty()) {
        m_scratch = std::make_unique<QTemporaryDir>();
        if (!m_scratch->isValid()) {
            error = QStringLiteral("cannot create a temporary folder");
            return false;
        }
    }
    if (!Voice.Open(m_file.isEmpty() ? m_scratch->filePath(QStringLiteral("voice")) : VoiceFolderFor(m_file), error))
        return false;
    LoadFactory();
    if (m_file.isEmpty() || !QFileInfo::exists(m_file)) {
        // Recordings left beside a state that is gone belong to no state.
        Voice.ClearAll();
        RecordFactoryVoices();
        return Save();
    }
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(m_file, file.errorString());
        return false;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!doc.isObject()) {
        error = QStringLiteral("%1 is not a unit state (%2)").arg(m_file, parse.errorString());
        return false;
    }
    FromJson(doc.object());
    return true;
}

bool TUnitState::Save()
{
    if (m_file.isEmpty())
        return true;
    QSaveFile file(m_file);
    const QByteArray text = QJsonDocument(ToJson()).toJson(QJsonDocument::Indented);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    Warn(QStringLiteral("cannot save the state to %1: %2").arg(m_file, file.errorString()));
    return false;
}

QJsonObject TUnitState::ToJson() const
{
    QJsonObject params;
    for (auto it = m_params.cbegin(); it != m_params.cend(); ++it)
        params[ParamKey(it.key())] = FromUnitBytes(it.value());
    QJsonArray extensions;
    for (const QByteArray& entry : Extensions.Entries())
        extensions.append(QString::fromLatin1(entry));
    QJsonArray boxes;
    for (const TMailbox& box : Mailboxes.List())
        boxes.append(QJsonObject{{QStringLiteral("owner"), QString::fromLatin1(box.Owner)},
                                 {QStringLiteral("seconds"), box.Seconds}});
    QJsonArray menus;
    for (int code = 0; code < VoiceMenuCount; ++code) {
        QJsonArray items;
        for (const QByteArray& item : Menus[code].Items)
            items.append(QString::fromLatin1(item));
        // The code only helps a reader: menus are loaded by their place in the list.
        menus.append(QJsonObject{{QStringLiteral("code"), code},
                                 {QStringLiteral("tc"), Menus[code].Tc},
                                 {QStringLiteral("items"), items}});
    }
    return {{QStringLiteral("parameters"), params},
            {QStringLiteral("extensions"), extensions},
            {QStringLiteral("mailboxes"), boxes},
            {QStringLiteral("menus"), menus},
            {QStringLiteral("clockOffsetSeconds"), Clock.OffsetSeconds}};
}

void TUnitState::FromJson(const QJsonObject& json)
{
    ParamsFromJson(json.value(QStringLiteral("parameters")).toObject());
    ListsFromJson(json);
    MenusFromJson(json);
    const QJsonValue offset = json.value(QStringLiteral("clockOffsetSeconds"));
    if (offset.isDouble())
        Clock.OffsetSeconds = qint64(offset.toDouble());
}

void TUnitState::ParamsFromJson(const QJsonObject& json)
{
    for (auto it = json.begin(); it != json.end(); ++it) {
        bool isCode = false;
        const int code = it.key().toInt(&isCode);
        const TParamRule* rule = isCode ? FindParamRule(code) : nullptr;
        const QByteArray value = ToUnitBytes(it.value().toString());
        if (rule && rule->Kind != TParamKind::Voice && it.value().isString() && rule->Accepts(value))
            m_params[code] = rule->Normalized(value);
        else
            Warn(QStringLiteral("parameter %1 in the state file ignored").arg(it.key()));
    }
}

void TUnitState::ListsFromJson(const QJsonObject& json)
{
    if (json.contains(QStringLiteral("extensions"))) {
        Extensions = {};
        for (const QJsonValue& entry : json.value(QStringLiteral("extensions")).toArray())
            if (Extensions.Add(entry.toString().toLatin1()) != TExtensionList::TResult::Ok)
                Warn(QStringLiteral("extension entry %1 in the state file ignored").arg(entry.toString()));
    }
    if (json.contains(QStringLiteral("mailboxes"))) {
        Mailboxes = {};
        for (const QJsonValue& value : json.value(QStringLiteral("mailboxes")).toArray()) {
            const QJsonObject box = value.toObject();
            const QByteArray owner = box.value(QStringLiteral("owner")).toString().toLatin1();
            const int seconds = box.value(QStringLiteral("seconds")).toInt();
            if (Mailboxes.Create(owner, seconds) != TMailboxes::TResult::Ok)
                Warn(QStringLiteral("mailbox %1 in the state file ignored").arg(QString::fromLatin1(owner)));
        }
    }
}

void TUnitState::MenusFromJson(const QJsonObject& json)
{
    const QJsonArray menus = json.value(QStringLiteral("menus")).toArray();
    for (qsizetype i = 0; i < menus.size() && i < VoiceMenuCount; ++i) {
        const QJsonObject menu = menus[i].toObject();
        const QJsonArray items = menu.value(QStringLiteral("items")).toArray();
        TVoiceMenu loaded;
        loaded.Tc = TVoiceMenu::ParseTc(QByteArray::number(menu.value(QStringLiteral("tc")).toInt(-1)));
        bool valid = loaded.Tc >= 0 && items.size() == TVoiceMenu::Keys;
        for (int key = 0; valid && key < TVoiceMenu::Keys; ++key) {
            loaded.Items[key] = items[key].toString().toLatin1();
            valid = TVoiceMenu::IsItem(loaded.Items[key]);
        }
        if (valid)
            Menus[i] = loaded;
        else
            Warn(QStringLiteral("menu %1 in the state file ignored").arg(i));
    }
}
