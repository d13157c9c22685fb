#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

struct chmFile;

namespace grelavo {

// A Compiled HTML Help file (Aide.chm) opened for reading through chmlib: its numeric topics and
// the bytes of the objects it holds (pages, style sheets, pictures). Object paths are absolute
// inside the file: "/general.html".
class HelpFile {
public:
    HelpFile();
    explicit HelpFile(const QString& path);
    ~HelpFile();
    HelpFile(HelpFile&& other) noexcept;
    HelpFile& operator=(HelpFile&& other) noexcept;
    HelpFile(const HelpFile&) = delete;
    HelpFile& operator=(const HelpFile&) = delete;

    // Closes the file held, then opens 'path'. False when it is absent or not a compiled help
    // file; the object is then closed.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    const QString& path() const { return m_path; }

    // Object path of the page of a numeric context id, from the file's context map; empty when
    // the id is unknown or its page is not in the file.
    QString topicPath(int contextId) const;
    // Every context id whose page is in the file, with its object path.
    const QMap<quint32, QString>& topics() const { return m_topics; }
    // The page the file opens on, from its system section; empty when it names none.
    QString defaultTopic() const { return m_defaultTopic; }

    bool contains(const QString& objectPath) const;
    // The whole object, or nothing when it is absent or cannot be read in full.
    std::optional<QByteArray> readObject(const QString& objectPath) const;

    // Pairs of the #IVB section (a 32-bit byte count, then little-endian pairs of context id and
    // offset into #STRINGS), each with the NUL-terminated string it points at. Entries whose
    // offset or string falls outside #STRINGS are left out; the first entry of an id wins.
    static QMap<quint32, QByteArray> parseContextMap(const QByteArray& ivb,
                                                     const QByteArray& strings);
    // The object a context-map string names: the longest trailing part of it, cut at a path
    // separator, for which 'exists' holds. A compiler may write the whole path of the source
    // page on the build machine ("/tmp/x/general.html" for "/general.html"). Empty when none.
    static QByteArray resolveObjectPath(const QByteArray& target,
                                        const std::function<bool(const QByteArray&)>& exists);

private:
    struct Closer {
        void operator()(chmFile* handle) const noexcept;
    };

    bool containsRaw(const QByteArray& objectPath) const;
    void readTopics();
    void readDefaultTopic();

    std::unique_ptr<chmFile, Closer> m_handle;
    QString m_path;
    QMap<quint32, QString> m_topics;
    QString m_defaultTopic;
    quint64 m_uncompressedLength = 0;
};

} // namespace grelavo
