#pragma once

#include <QString>
#include <memory>

namespace grelavo {
class DE;
class ReferenceEvaluator;
} // namespace grelavo

namespace grelavo::bench {

// The demonstration database at one scale, in a folder of its own (the program folder that DE
// opens). The file is built with the generator when needed; the connection and the
// reference evaluator are made on first use and kept for every benchmark of that scale.
class ScaleDatabase {
public:
    ScaleDatabase(double scale, const QString& folder);
    ~ScaleDatabase();
    ScaleDatabase(const ScaleDatabase&) = delete;
    ScaleDatabase& operator=(const ScaleDatabase&) = delete;

    double scale() const { return m_scale; }
    const QString& folder() const { return m_folder; }
    QString label() const; // "1", "10", "100", "0.5"
    QString filePath() const;

    // Plain SQLite statements run on the connection right after it opens (PRAGMA cache_size,
    // journal_mode, synchronous...), to try a setting without changing the engine layer.
    void setPragmas(const QString& pragmas) { m_pragmas = pragmas; }

    // Builds the file when it is missing or older than this program (whose generator may have
    // changed). Throws on failure.
    void ensureBuilt();
    // The open database; throws DbError.
    DE& de();
    // Reads the experiment tables on first use; throws DbError.
    ReferenceEvaluator& evaluator();
    // Closes the connection and frees the evaluator.
    void release();

private:
    double m_scale;
    QString m_folder;
    QString m_pragmas;
    std::unique_ptr<DE> m_de;
    std::unique_ptr<ReferenceEvaluator> m_evaluator;
};

} // namespace grelavo::bench
