#include "LayoutCheck.h"

#include <QFile>
#include <QHash>
#include <QtEndian>
#include <chm_lib.h>
#include <vector>

namespace grelavo {

namespace {

quint32 u32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint64 u64At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint64>(bytes.constData() + at);
}

// A number of the directory: 7 bits a byte, most significant first, the high bit set on every
// byte but the last. False when it runs past 'end' or beyond 64 bits.
bool readEncoded(const QByteArray& bytes, qsizetype& at, qsizetype end, quint64& value) {
    value = 0;
    for (int length = 0; length < 9 && at < end; ++length) {
        const auto byte = static_cast<uchar>(bytes[at++]);
        value = (value << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

class Checker {
public:
    explicit Checker(const QString& path) : m_file(path) {}

    // The length of the compressed section once decompressed (0 when the file has none), or
    // nothing when the file is not sound.
    std::optional<quint64> run() {
        if (!m_file.open(QIODevice::ReadOnly) || !readHeaders() || !readDirectory() ||
            !indexHasNoCycle())
            return std::nullopt;
        return checkCompression();
    }

private:
    struct Entry {
        quint64 space = 0;
        quint64 start = 0;
        quint64 length = 0;
    };

    static constexpr qsizetype ItspLength = 0x54;
    static constexpr quint64 MaxPathLength = CHM_MAX_PATHLEN;

    QByteArray readAt(quint64 offset, quint64 length) {
        if (offset > m_size || length > m_size - offset ||
            !m_file.seek(static_cast<qint64>(offset)))
            return {};
        return m_file.read(static_cast<qint64>(length));
    }

    bool readHeaders() {
        m_size = static_cast<quint64>(m_file.size());
        const QByteArray itsf = readAt(0, qMin<quint64>(0x60, m_size));
        if (itsf.size() < 0x58 || !itsf.startsWith("ITSF"))
            return false;
        const quint32 version = u32At(itsf, 4);
        if ((version != 2 && version != 3) || (version == 3 && itsf.size() < 0x60))
            return false;
        m_dirOffset = u64At(itsf, 0x48);
        const quint64 dirLength = u64At(itsf, 0x50);
        m_dataOffset = version == 3 ? u64At(itsf, 0x58) : m_dirOffset + dirLength;
        if (m_dirOffset > m_size || dirLength > m_size - m_dirOffset || m_dataOffset > m_size ||
            dirLength < ItspLength)
            return false;

        const QByteArray itsp = readAt(m_dirOffset, ItspLength);
        if (itsp.size() != ItspLength || !itsp.startsWith("ITSP") || u32At(itsp, 8) != ItspLength)
            return false;
        m_chunkLength = u32At(itsp, 0x10);
        m_indexRoot = static_cast<qint32>(u32At(itsp, 0x1c));
        m_indexHead = static_cast<qint32>(u32At(itsp, 0x20));
        m_chunks = u32At(itsp, 0x2c);
        // Directory chunks are a few kilobytes, each with a header of up to 20 bytes.
        return m_chunkLength >= 0x20 && m_chunkLength <= 0x10000 && m_chunks > 0 &&
               m_chunks * m_chunkLength <= dirLength - ItspLength && isChunk(m_indexHead) &&
               (m_indexRoot < 0 || isChunk(m_indexRoot));
    }

    bool isChunk(qint64 chunk) const {
        return chunk >= 0 && static_cast<quint64>(chunk) < m_chunks;
    }

    bool readDirectory() {
        m_children.assign(m_chunks, {});
        for (quint64 chunk = 0; chunk < m_chunks; ++chunk) {
            const QByteArray bytes =
                readAt(m_dirOffset + ItspLength + chunk * m_chunkLength, m_chunkLength);
            if (static_cast<quint64>(bytes.size()) != m_chunkLength)
                return false;
            if (bytes.startsWith("PMGL") && !readListing(bytes))
                return false;
            if (bytes.startsWith("PMGI") && !readIndex(bytes, chunk))
                return false;
        }
        return true;
    }

    // Where a chunk's entries end: its length less the free space its header declares.
    std::optional<qsizetype> entriesEnd(const QByteArray& chunk, qsizetype headerLength) const {
        const quint64 freeSpace = u32At(chunk, 4);
        if (freeSpace > m_chunkLength - headerLength)
            return std::nullopt;
        return static_cast<qsizetype>(m_chunkLength - freeSpace);
    }

    bool readName(const QByteArray& chunk, qsizetype& at, qsizetype end, QByteArray& name) {
        quint64 length = 0;
        if (!readEncoded(chunk, at, end, length) || length > MaxPathLength ||
            length > static_cast<quint64>(end - at))
            return false;
        name = chunk.mid(at, static_cast<qsizetype>(length));
        at += static_cast<qsizetype>(length);
        return true;
    }

    bool readListing(const QByteArray& chunk) {
        const auto end = entriesEnd(chunk, 0x14);
        if (!end)
            return false;
        for (qsizetype at = 0x14; at < *end;) {
            QByteArray name;
            Entry entry;
            if (!readName(chunk, at, *end, name) || !readEncoded(chunk, at, *end, entry.space) ||
                !readEncoded(chunk, at, *end, entry.start) ||
                !readEncoded(chunk, at, *end, entry.length) || entry.space > 1)
                return false;
            const quint64 stored = m_size - m_dataOffset;
            if (entry.space == 0 && (entry.start > stored || entry.length > stored - entry.start))
                return false;
            if (name.startsWith("::DataSpace/") && m_entries.contains(name))
                return false;
            m_entries.insert(name, entry);
        }
        return true;
    }

    bool readIndex(const QByteArray& chunk, quint64 index) {
        const auto end = entriesEnd(chunk, 0x08);
        if (!end)
            return false;
        for (qsizetype at = 0x08; at < *end;) {
            QByteArray name;
            quint64 child = 0;
            if (!readName(chunk, at, *end, name) || !readEncoded(chunk, at, *end, child) ||
                child >= m_chunks)
                return false;
            m_children[index].push_back(child);
        }
        return true;
    }

    // chmlib walks down the index from its root until it meets a listing chunk: the index
    // chunks must form a tree. Depth-first, with colours: 0 unseen, 1 on the path, 2 finished.
    bool indexHasNoCycle() const {
        if (m_indexRoot < 0)
            return true;
        const auto root = static_cast<quint64>(m_indexRoot);
        std::vector<char> colour(m_chunks, 0);
        std::vector<std::pair<quint64, size_t>> path{{root, 0}};
        colour[root] = 1;
        while (!path.empty()) {
            const quint64 chunk = path.back().first;
            const size_t next = path.back().second++;
            if (next == m_children[chunk].size()) {
                colour[chunk] = 2;
                path.pop_back();
                continue;
            }
            const quint64 child = m_children[chunk][next];
            if (colour[child] == 1)
                return false;
            if (colour[child] == 0) {
                colour[child] = 1;
                path.emplace_back(child, 0);
            }
        }
        return true;
    }

    QByteArray stored(const Entry& entry, quint64 maxLength) {
        if (entry.length > maxLength)
            return {};
        return readAt(m_dataOffset + entry.start, entry.length);
    }

    std::optional<quint64> checkCompression() {
        const QByteArray section = "::DataSpace/Storage/MSCompressed/";
        const QByteArray content = section + "Content";
        const QByteArray control = section + "ControlData";
        const QByteArray resetTable = section + "Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}"
                                                "/InstanceData/ResetTable";
        // chmlib reads only the stored objects of a file without a complete compressed section.
        for (const QByteArray& name : {content, control, resetTable})
            if (!m_entries.contains(name) || m_entries.value(name).space != 0)
                return 0;

        const QByteArray table = stored(m_entries.value(resetTable), 0x1000000);
        const QByteArray data = stored(m_entries.value(control), 0x100);
        if (table.size() < 0x28 || data.size() < 0x18 || u32At(table, 0) != 2)
            return std::nullopt;
        const quint64 blockCount = u32At(table, 4);
        const quint64 tableOffset = u32At(table, 12);
        const quint64 uncompressedLength = u64At(table, 16);
        const quint64 compressedLength = u64At(table, 24);
        const quint64 blockLength = u64At(table, 32);
        if (blockLength == 0 || blockLength > 0x100000 || blockCount == 0 ||
            tableOffset + blockCount * 8 > static_cast<quint64>(table.size()) ||
            compressedLength > m_entries.value(content).length ||
            uncompressedLength > blockCount * blockLength)
            return std::nullopt;
        // Each compressed block must fit the buffer chmlib reads it into.
        quint64 previous = 0;
        for (quint64 block = 0; block <= blockCount; ++block) {
            const quint64 start =
                block < blockCount ? u64At(table, static_cast<qsizetype>(tableOffset + block * 8))
                                   : compressedLength;
            if (start < previous || start - previous > blockLength + 6144 ||
                start > compressedLength)
                return std::nullopt;
            previous = start;
        }

        if (data.mid(4, 4) != "LZXC")
            return std::nullopt;
        // Worked out in 32 bits, as chmlib does, so that these are the values it will use.
        const quint32 scale = u32At(data, 8) == 2 ? 0x8000 : 1;
        const quint32 resetInterval = u32At(data, 12) * scale;
        const quint32 windowSize = u32At(data, 16) * scale;
        const quint32 windowsPerReset = u32At(data, 20);
        // LZX windows run from 32 KiB to 2 MiB, by powers of two, and hold a whole block.
        if (windowSize < 0x8000 || windowSize > 0x200000 || (windowSize & (windowSize - 1)) != 0 ||
            blockLength > windowSize)
            return std::nullopt;
        const quint32 resetBlocks = resetInterval / (windowSize / 2) * windowsPerReset;
        if (resetInterval == 0 || resetInterval % (windowSize / 2) != 0 || resetBlocks == 0)
            return std::nullopt;
        return uncompressedLength;
    }

    QFile m_file;
    quint64 m_size = 0;
    quint64 m_dirOffset = 0;
    quint64 m_dataOffset = 0;
    quint64 m_chunkLength = 0;
    quint64 m_chunks = 0;
    qint32 m_indexRoot = -1;
    qint32 m_indexHead = 0;
    QHash<QByteArray, Entry> m_entries;
    std::vector<std::vector<quint64>> m_children;
};

} // namespace

std::optional<quint64> LayoutCheck::run(const QString& path) {
    return Checker(path).run();
}

} // namespace grelavo
