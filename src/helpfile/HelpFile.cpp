#include "HelpFile.h"

#include "LayoutCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <chm_lib.h>
#include <vector>

namespace grelavo {

namespace {

// An object larger than this is taken for a damaged directory entry rather than allocated.
constexpr quint64 MaxObjectSize = 64u * 1024u * 1024u;

constexpr int SystemDefaultTopicCode = 2;

QByteArray objectName(const QString& objectPath) {
    return objectPath.toUtf8();
}

// The whole of an object, read through chmlib.
std::optional<QByteArray> readUnit(chmFile* handle, chmUnitInfo& unit, quint64 maxLength) {
    if (unit.length > maxLength)
        return std::nullopt;
    const auto length = static_cast<qsizetype>(unit.length);
    QByteArray bytes(length, Qt::Uninitialized);
    if (length == 0)
        return bytes;
    const LONGINT64 read = chm_retrieve_object(
        handle, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0, length);
    if (read != length)
        return std::nullopt;
    return bytes;
}

} // namespace

void HelpFile::Closer::operator()(chmFile* handle) const noexcept {
    chm_close(handle);
}

HelpFile::HelpFile() = default;

HelpFile::HelpFile(const QString& path) {
    open(path);
}

HelpFile::~HelpFile() = default;
HelpFile::HelpFile(HelpFile&& other) noexcept = default;
HelpFile& HelpFile::operator=(HelpFile&& other) noexcept = default;

bool HelpFile::open(const QString& path) {
    close();
    // chmlib reads whatever it is given; a folder or a device is refused before it gets there.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    const auto uncompressedLength = LayoutCheck::run(path);
    if (!uncompressedLength)
        return false;
    m_handle.reset(chm_open(QFile::encodeName(path).constData()));
    if (!m_handle)
        return false;
    m_uncompressedLength = *uncompressedLength;
    m_path = path;
    readTopics();
    readDefaultTopic();
    return true;
}

void HelpFile::close() {
    m_handle.reset();
    m_path.clear();
    m_topics.clear();
    m_defaultTopic.clear();
    m_uncompressedLength = 0;
}

QString HelpFile::topicPath(int contextId) const {
    return m_topics.value(static_cast<quint32>(contextId));
}

bool HelpFile::contains(const QString& objectPath) const {
    return containsRaw(objectName(objectPath));
}

bool HelpFile::containsRaw(const QByteArray& objectPath) const {
    if (!m_handle || objectPath.isEmpty())
        return false;
    chmUnitInfo unit{};
    return chm_resolve_object(m_handle.get(), objectPath.constData(), &unit) == CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> HelpFile::readObject(const QString& objectPath) const {
    if (!m_handle)
        return std::nullopt;
    const QByteArray name = objectName(objectPath);
    chmUnitInfo unit{};
    if (name.isEmpty() ||
        chm_resolve_object(m_handle.get(), name.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    // A compressed object must lie inside the compressed section's data.
    if (unit.space == CHM_COMPRESSED &&
        (unit.start > m_uncompressedLength || unit.length > m_uncompressedLength - unit.start))
        return std::nullopt;
    return readUnit(m_handle.get(), unit, MaxObjectSize);
}

QMap<quint32, QByteArray> HelpFile::parseContextMap(const QByteArray& ivb,
                                                    const QByteArray& strings) {
    QMap<quint32, QByteArray> map;
    if (ivb.size() < 4)
        return map;
    const auto* data = reinterpret_cast<const uchar*>(ivb.constData());
    // The byte count may claim more than the section holds: only whole pairs present are read.
    const qsizetype declared = qFromLittleEndian<quint32>(data);
    const qsizetype available = ivb.size() - 4;
    const qsizetype pairs = qMin(declared, available) / 8;
    for (qsizetype i = 0; i < pairs; ++i) {
        const uchar* pair = data + 4 + i * 8;
        const quint32 id = qFromLittleEndian<quint32>(pair);
        const quint32 offset = qFromLittleEndian<quint32>(pair + 4);
        if (offset >= static_cast<quint64>(strings.size()) || map.contains(id))
            continue;
        const qsizetype end = strings.indexOf('\0', offset);
        if (end < 0 || end == offset)
            continue;
        map.insert(id, strings.mid(offset, end - offset));
    }
    return map;
}

QByteArray HelpFile::resolveObjectPath(const QByteArray& target,
                                       const std::function<bool(const QByteArray&)>& exists) {
    QByteArray path = target;
    path.replace('\\', '/');
    const qsizetype fragment = path.indexOf('#');
    if (fragment >= 0)
        path.truncate(fragment);
    if (path.isEmpty())
        return {};
    // A bare name ("general.html") is a path from the root of the file.
    if (!path.startsWith('/'))
        path.prepend('/');
    for (qsizetype cut = 0; cut >= 0 && cut < path.size() - 1; cut = path.indexOf('/', cut + 1)) {
        const QByteArray candidate = path.mid(cut);
        if (exists(candidate))
            return candidate;
    }
    return {};
}

void HelpFile::readTopics() {
    const auto ivb = readObject(QStringLiteral("/#IVB"));
    const auto strings = readObject(QStringLiteral("/#STRINGS"));
    if (!ivb || !strings)
        return;
    const auto exists = [this](const QByteArray& name) { return containsRaw(name); };
    const QMap<quint32, QByteArray> targets = parseContextMap(*ivb, *strings);
    for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
        const QByteArray object = resolveObjectPath(it.value(), exists);
        if (!object.isEmpty())
            m_topics.insert(it.key(), QString::fromUtf8(object));
    }
}

void HelpFile::readDefaultTopic() {
    // #SYSTEM: a 32-bit version, then records of a 16-bit code, a 16-bit length and the data.
    const auto system = readObject(QStringLiteral("/#SYSTEM"));
    if (!system)
        return;
    const auto* data = reinterpret_cast<const uchar*>(system->constData());
    qsizetype at = 4;
    while (at + 4 <= system->size()) {
        const quint16 code = qFromLittleEndian<quint16>(data + at);
        const quint16 length = qFromLittleEndian<quint16>(data + at + 2);
        at += 4;
        if (at + length > system->size())
            return;
        if (code == SystemDefaultTopicCode) {
            QByteArray topic = system->mid(at, length);
            const qsizetype end = topic.indexOf('\0');
            if (end >= 0)
                topic.truncate(end);
            const QByteArray object =
                resolveObjectPath(topic, [this](const QByteArray& n) { return containsRaw(n); });
            m_defaultTopic = QString::fromUtf8(object);
            return;
        }
        at += length;
    }
}

} // namespace grelavo
