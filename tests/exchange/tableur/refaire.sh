#!/bin/sh
# Makes the files of this folder again (LISEZMOI.md): the writer's set of a small database, then
# what LibreOffice Calc saves from it in French and in English settings.
#   tests/exchange/tableur/refaire.sh BUILD   (BUILD: a build folder holding bin/grelavo-export)
# Needs sqlcipher and soffice (LibreOffice, headless). Replaces source/ ods/ xlsx/ texte/
# anglais/ classeurs/ here; works in a temporary folder of its own.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
export_program=$(cd "${1:?give the build folder}" && pwd)/bin/grelavo-export
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The fixture of the tests, with rates of three decimals (0,025 and 1,125 read in English
# settings are 25 and 1125) and an edition whose name holds characters of Windows-1252 that
# Latin-1 lacks.
{
    echo "PRAGMA key = 'wkhtqelmzav';"
    cat "$repo/data/schema.sql" "$repo/tests/db/fixture.sql"
    cat <<'EOF'
UPDATE "tblDétailsHerbicides" SET "HerbTauxH" = 0.025 WHERE "DateHerbId" = 5 AND "HerbicideId" = 12;
UPDATE "tblDétailsHerbicides" SET "HerbTauxH" = 1.125 WHERE "DateHerbId" = 8 AND "HerbicideId" = 10;
INSERT INTO "tblÉdition" VALUES ('Démonstration – cœur de l’été', '2024-05-01', 'tests', 1);
EOF
} | sqlcipher "$work/source.mdb"
"$export_program" --db "$work/source.mdb" --output "$work/source"

# A LibreOffice profile of its own for each locale setting (Tools > Options > Language
# Settings > Languages > Locale setting).
profile() {
    soffice --headless "-env:UserInstallation=file://$work/lo-$1" --terminate_after_init \
        >/dev/null 2>&1
    sed -i "s#</oor:items>#<item oor:path=\"/org.openoffice.Setup/L10N\"><prop oor:name=\"ooSetupSystemLocale\" oor:op=\"fuse\"><value>$2</value></prop></item></oor:items>#" \
        "$work/lo-$1/user/registrymodifications.xcu"
}
profile fr fr-FR
profile en en-US
calc() { # PROFILE, then soffice's arguments
    p=$1
    shift
    soffice --headless "-env:UserInstallation=file://$work/lo-$p" "$@" >/dev/null 2>&1
}

# Opening the writer's files: comma, quote, UTF-8 (76), from line 1, standard columns, then the
# language (1033 English (USA): decimal points are numbers; 1036 French: they stay text),
# quoted field as text off, detect special numbers off.
read_points='Text - txt - csv (StarCalc):44,34,76,1,,1033,false,false'
read_french='Text - txt - csv (StarCalc):44,34,76,1,,1036,false,false'
# Saving as a French user does: semicolon, quote, Windows-1252 (1), from line 1, no formats,
# French, quote all text cells, (detect special numbers: import only), save cell contents as
# shown, no formulas, spaces kept.
save_french='csv:Text - txt - csv (StarCalc):59,34,1,1,,1036,true,false,true,false,false'
# The same saved by a user whose locale is English (USA).
read_english='Text - txt - csv (StarCalc):59,34,1,1,,1033,false,false'
save_english='csv:Text - txt - csv (StarCalc):59,34,1,1,,1033,true,false,true,false,false'

mkdir -p "$work/classeurs" "$work/ods" "$work/xlsx" "$work/texte" "$work/anglais"
calc fr --infilter="$read_points" --convert-to ods --outdir "$work/classeurs" "$work"/source/*.csv
calc fr --infilter="$read_points" --convert-to xlsx --outdir "$work/classeurs" "$work"/source/*.csv
calc fr --convert-to "$save_french" --outdir "$work/ods" "$work"/classeurs/*.ods
calc fr --convert-to "$save_french" --outdir "$work/xlsx" "$work"/classeurs/*.xlsx
calc fr --infilter="$read_french" --convert-to "$save_french" --outdir "$work/texte" \
    "$work"/source/*.csv
calc en --infilter="$read_english" --convert-to "$save_english" --outdir "$work/anglais" \
    "$work"/ods/*.csv

for d in source ods xlsx texte anglais; do
    [ "$(ls "$work/$d"/*.csv | wc -l)" = 8 ] || { echo "$d: not 8 files" >&2; exit 1; }
done
[ "$(ls "$work"/classeurs/* | wc -l)" = 16 ] || { echo "classeurs: not 16 files" >&2; exit 1; }
for d in source classeurs ods xlsx texte anglais; do
    rm -rf "${here:?}/$d"
    cp -r "$work/$d" "$here/$d"
done
soffice --version
