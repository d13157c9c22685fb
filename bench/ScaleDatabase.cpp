#include "ScaleDatabase.h"

#include "DatabaseBuilder.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DatabaseFile.h"
#include "verify/ReferenceEvaluator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

namespace grelavo::bench {

ScaleDatabase::ScaleDatabase(double scale, const QString& folder)
    : m_scale(scale), m_folder(folder) {}

ScaleDatabase::~ScaleDatabase() {
    release();
}

QString ScaleDatabase::label() const {
    return QString::number(m_scale, 'g', 6);
}

QString ScaleDatabase::filePath() const {
    return QDir(m_folder).filePath(DatabaseFile::fileName());
}

void ScaleDatabase::ensureBuilt() {
    // The program carries the generator and its sources: a file older than the program may
    // hold other rows than the generator makes now.
    const QFileInfo file(filePath());
    const QFileInfo program(QCoreApplication::applicationFilePath());
    if (file.exists() && (!program.exists() || file.lastModified() >= program.lastModified()))
        return;
    QDir().mkpath(m_folder);
    QTextStream err(stderr);
    err << "grelavo-bench: building the database at scale " << label() << " in " << filePath()
        << "\n";
    err.flush();
    QElapsedTimer timer;
    timer.start();
    const makedb::BuildSummary s = makedb::DatabaseBuilder::build(filePath(), m_scale);
    err << "grelavo-bench: " << s.sites << " sites, " << s.treatments << " treatments, "
        << s.ratings << " weed ratings (" << timer.elapsed() << " ms)\n";
}

DE& ScaleDatabase::de() {
    if (!m_de) {
        ensureBuilt();
        m_de = std::make_unique<DE>(m_folder);
        Connection& connection = m_de->Connection2();
        if (!m_pragmas.isEmpty())
            connection.executeScript(m_pragmas);
    }
    return *m_de;
}

ReferenceEvaluator& ScaleDatabase::evaluator() {
    if (!m_evaluator)
        m_evaluator = std::make_unique<ReferenceEvaluator>(de().Connection2(), QLocale::c());
    return *m_evaluator;
}

void ScaleDatabase::release() {
    m_evaluator.reset();
    m_de.reset();
}

} // namespace grelavo::bench
