#include "HoverText.h"

#include <QVariant>
#include <QWidget>

namespace grelavo::HoverText {

namespace {
const char* const kText = "grelavoHoverText";
const char* const kPolled = "grelavoHoverPolled";
const char* const kWeed = "grelavoHoverWeed";
} // namespace

QString generalPrompt() {
    return QStringLiteral("Entrez les paramètres obligatoires et appuyez sur le bouton 'Rapports' "
                          "pour produire le rapport");
}

void describe(QWidget* w, const QString& text) {
    w->setProperty(kText, text);
}

void describePolled(QWidget* w, const QString& text, int weed) {
    w->setProperty(kText, text);
    w->setProperty(kPolled, true);
    w->setProperty(kWeed, weed);
}

bool isDescribed(const QWidget* w) {
    return w->property(kText).isValid();
}

bool isPolled(const QWidget* w) {
    return w->property(kPolled).toBool();
}

QString of(const QWidget* w) {
    return w->property(kText).toString();
}

int weedIndex(const QWidget* w) {
    const QVariant weed = w->property(kWeed);
    return weed.isValid() ? weed.toInt() : -1;
}

} // namespace grelavo::HoverText
