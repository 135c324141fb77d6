#include "ScratchFolder.h"

#include "RawFiles.h"

#include <QDir>

namespace {

const char* const Prefix = "transfer-";

} // namespace

TScratchFolder::TScratchFolder(const QString& parent)
{
    const QByteArray path = MakeScratchFolder(RawPath(parent) + '/' + Prefix + "XXXXXX");
    if (!path.isEmpty())
        m_path = FromRawPath(path);
}

TScratchFolder::~TScratchFolder()
{
    if (!m_path.isEmpty())
        RemoveTree(RawPath(m_path));
}

void TScratchFolder::RemoveLeftovers(const QString& parent)
{
    const QStringList leftovers = QDir(parent).entryList({QString::fromLatin1(Prefix) + QLatin1Char('*')}, QDir::Dirs);
    for (const QString& name : leftovers)
        RemoveTree(RawPath(parent + QLatin1Char('/') + name));
}
