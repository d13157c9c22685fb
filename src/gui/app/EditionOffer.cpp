#include "EditionOffer.h"

#include "core/db/DatabaseCheck.h"
#include "core/db/DbError.h"
#include "core/exchange/EditionMove.h"
#include "gui/shared/DialogService.h"

namespace grelavo {

namespace {

const QString kTitle = QStringLiteral("Nouvelle édition de la base de données");

QString described(const DatabaseEdition& e) {
    return e.known ? QStringLiteral("«\u00a0%1\u00a0» du %2").arg(e.name, e.date)
                   : QStringLiteral("d'édition inconnue");
}

} // namespace

void offerNewerEdition(const QString& workingCopy, const QString& shipped, DialogService& dialogs) {
    EditionMove::Offer offer;
    try {
        offer = EditionMove::check(workingCopy, shipped);
    } catch (const DbError& e) {
        dialogs.message(nullptr,
                        QStringLiteral("L'édition de la base de données installée n'a pas pu "
                                       "être lue\u00a0: %1.\rVous continuez avec votre base.")
                            .arg(DatabaseCheck::causeInWords(e)),
                        kTitle, DialogService::Icon::Warning);
        return;
    }
    if (!offer.newer)
        return;
    const QString carried =
        offer.importedTreatments > 0
            ? QStringLiteral("Les %1 traitements que vous avez importés y seront repris.")
                  .arg(offer.importedTreatments)
            : QStringLiteral("Vous n'avez importé aucun essai.");
    const QString question =
        QStringLiteral("Une nouvelle édition de la base de données est installée\u00a0: %1 (vous "
                       "utilisez la base %2).\r%3 Votre base actuelle sera gardée.\r\rPasser à "
                       "la nouvelle édition\u00a0? (Sinon, la question sera reposée au prochain "
                       "démarrage.)")
            .arg(described(offer.shipped), described(offer.current), carried);
    if (dialogs.message(nullptr, question, kTitle, DialogService::Icon::Question,
                        DialogService::Buttons::YesNo) != DialogService::Answer::Yes)
        return;
    const EditionMove::Result result = EditionMove::move(workingCopy, shipped);
    dialogs.message(nullptr, result.message, kTitle,
                    result.done ? DialogService::Icon::Information : DialogService::Icon::Warning);
}

} // namespace grelavo
