#include "ExperimentMenus.h"

#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DbError.h"
#include "core/exchange/ExperimentExport.h"
#include "core/exchange/ExperimentImport.h"
#include "frmProblemes.h"
#include "gui/shared/DialogService.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

namespace grelavo {

namespace {

const QString kExportTitle = QStringLiteral("Exportation des essais");
const QString kImportTitle = QStringLiteral("Importation des essais");

// "3 lignes", "1 ligne"
QString countOf(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n > 1 ? many : one));
}

QString countsInWords(const ExperimentCounts& c) {
    return QStringList{countOf(c.sites, "site", "sites"),
                       countOf(c.treatments, "traitement", "traitements"),
                       countOf(c.crops, "culture", "cultures"),
                       countOf(c.applications, "application", "applications"),
                       countOf(c.stages, "stade", "stades"),
                       countOf(c.products, "produit", "produits"),
                       countOf(c.ratings, "évaluation", "évaluations")}
        .join(QStringLiteral(", "));
}

} // namespace

ExperimentMenus::ExperimentMenus(QWidget* window, DE& de, DialogService& dialogs, Hooks hooks)
    : m_window(window), m_de(de), m_dialogs(dialogs), m_hooks(std::move(hooks)) {}

void ExperimentMenus::exportExperiments() {
    if (m_hooks.busy && m_hooks.busy())
        return;
    const QString folder =
        m_dialogs.folderName(m_window, QStringLiteral("Exporter les essais dans le dossier"));
    if (folder.isEmpty())
        return;
    QVector<ExperimentExport::Output> outputs;
    try {
        outputs = ExperimentExport::readWithEdition(m_de.Connection2());
    } catch (const DbError& e) {
        m_dialogs.message(m_window,
                          QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.")
                              .arg(DatabaseCheck::causeInWords(e)),
                          kExportTitle, DialogService::Icon::Critical);
        return;
    } catch (const ExchangeError& e) {
        m_dialogs.message(
            m_window,
            QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.").arg(e.message()),
            kExportTitle, DialogService::Icon::Critical);
        return;
    }
    QStringList existing = ExperimentExport::existingFiles(folder);
    if (!existing.isEmpty()) {
        for (QString& path : existing)
            path = QFileInfo(path).fileName();
        if (m_dialogs.message(
                m_window,
                QStringLiteral("Le dossier %1 contient déjà des fichiers "
                               "d'échange (%2).\rVoulez-vous les remplacer\u00a0?")
                    .arg(QDir::toNativeSeparators(folder), existing.join(QStringLiteral(", "))),
                kExportTitle, DialogService::Icon::Question,
                DialogService::Buttons::YesNo) != DialogService::Answer::Yes)
            return;
    }
    const QString failure = ExperimentExport::writeFolder(outputs, folder, true);
    if (!failure.isEmpty()) {
        m_dialogs.message(
            m_window, QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.").arg(failure),
            kExportTitle, DialogService::Icon::Critical);
        return;
    }
    QStringList lines{QStringLiteral("Les essais ont été exportés dans %1\u00a0:")
                          .arg(QDir::toNativeSeparators(folder))};
    for (const ExperimentExport::Output& f : outputs)
        lines << QStringLiteral("%1\u00a0: %2").arg(f.name, countOf(f.rows, "ligne", "lignes"));
    m_dialogs.message(m_window, lines.join(QLatin1Char('\r')), kExportTitle,
                      DialogService::Icon::Information);
}

ImportOutcome ExperimentMenus::runImport(const QStringList& files, bool addNames, bool dryRun) {
    QProgressDialog progress(dryRun ? QStringLiteral("Vérification des fichiers…")
                                    : QStringLiteral("Importation des essais…"),
                             QString(), 0, 0, m_window);
    progress.setObjectName(QStringLiteral("frmProgression"));
    progress.setWindowTitle(kImportTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setCancelButton(nullptr); // the import cannot stop half-way
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    ImportOptions options;
    options.addNames = addNames;
    options.dryRun = dryRun;
    // The import holds the file to itself: the window's connection lets it go, and the next
    // read opens it again.
    const QString database = m_de.filePath();
    m_de.close();
    const ImportOutcome outcome =
        ExperimentImport::run(database, files, options, [&progress](qint64 done, qint64 total) {
            // Rows, scaled to what the window counts in.
            const double scale = total > 1000000 ? 1000000.0 / static_cast<double>(total) : 1.0;
            progress.setMaximum(static_cast<int>(static_cast<double>(total) * scale));
            progress.setValue(static_cast<int>(static_cast<double>(done) * scale));
        });
    progress.close();
    return outcome;
}

void ExperimentMenus::importExperiments() {
    if (m_hooks.busy && m_hooks.busy())
        return;
    const QStringList files =
        m_dialogs.openFileNames(m_window, QStringLiteral("Importer des essais"),
                                QStringLiteral("Fichiers d'échange (*.csv)"));
    if (files.isEmpty())
        return;
    ImportOutcome outcome = runImport(files, false, false);
    if (outcome.status == ImportOutcome::Status::Refused) {
        // Refused only for names missing from the lists: a check that adds them finds nothing
        // else, and the user may have them added.
        const ImportOutcome withNames = runImport(files, true, true);
        if (withNames.status == ImportOutcome::Status::Done && !withNames.addedNames.isEmpty() &&
            m_dialogs.message(
                m_window,
                QStringLiteral("Les fichiers nomment des entrées absentes des listes de la base "
                               "de données\u00a0:\r%1\rVoulez-vous les ajouter à leurs listes et "
                               "importer les essais\u00a0?")
                    .arg(QStringLiteral("   ") +
                         withNames.addedNames.join(QStringLiteral("\r   "))),
                kImportTitle, DialogService::Icon::Question,
                DialogService::Buttons::YesNo) == DialogService::Answer::Yes)
            outcome = runImport(files, true, false);
    }
    switch (outcome.status) {
    case ImportOutcome::Status::Failed:
        m_dialogs.message(
            m_window,
            QStringLiteral("Les essais n'ont pas été importés\u00a0: la base de données "
                           "n'a pas été modifiée.\r%1")
                .arg(outcome.failure),
            kImportTitle, DialogService::Icon::Critical);
        break;
    case ImportOutcome::Status::Refused: {
        QStringList lines;
        for (const ImportProblem& p : outcome.problems)
            lines << p.text();
        frmProblemes problems(lines, outcome.problemCount, m_window);
        m_dialogs.showDialog(problems);
        break;
    }
    case ImportOutcome::Status::Done:
        showImported(outcome);
        break;
    }
}

void ExperimentMenus::showImported(const ImportOutcome& outcome) {
    // The lists of the form now hold the names added, the reports the new experiments: the lists
    // are read again with the entries kept, and what was shown is made again from them.
    const QStringList cleared = m_hooks.reloadLists ? m_hooks.reloadLists() : QStringList();
    QStringList lines{QStringLiteral("Les essais ont été importés\u00a0: %1.")
                          .arg(countsInWords(outcome.counts))};
    if (!outcome.addedNames.isEmpty())
        lines << QStringLiteral("Noms ajoutés aux listes\u00a0: %1.")
                     .arg(outcome.addedNames.join(QStringLiteral("\u00a0; ")));
    if (!outcome.backup.isEmpty())
        lines << QStringLiteral("La base de données telle qu'elle était avant l'importation est "
                                "gardée dans %1.")
                     .arg(QDir::toNativeSeparators(outcome.backup));
    m_dialogs.message(m_window, lines.join(QLatin1Char('\r')), kImportTitle,
                      DialogService::Icon::Information);
    if (!cleared.isEmpty())
        m_dialogs.message(m_window,
                          QStringLiteral("Ces entrées ne sont plus dans leurs listes et ont été "
                                         "effacées\u00a0:\r   %1")
                              .arg(cleared.join(QStringLiteral("\r   "))),
                          kImportTitle, DialogService::Icon::Warning);
    if (m_hooks.showAgain)
        m_hooks.showAgain();
}

} // namespace grelavo
