#!/usr/bin/env bash
# Makes the Debian package of the build folder and checks it as a distribution and a user would:
#   - lintian, pedantic, finds nothing but the remark the README lists (no contact address yet);
#   - unpacked into a temporary root, every file is where it belongs, the shipped database and
#     help file as the build made them, the programs stripped and hardened;
#   - the desktop entry, the metainfo and the manual pages accepted by their validators;
#   - from a read-only copy of the tree, run by an ordinary user with no display, grelavo-rapport
#     gives the report that the build folder gives, on a working copy made in the user's data
#     folder (XDG_DATA_HOME unset, then set), and pelvane compacts that copy;
#   - grelavo-export, run the same way, writes the exchange files of the read-only shipped database;
#   - a data folder that cannot be made is said in one line, naming it;
#   - the example of every manual page runs as written;
#   - the shipped database is byte for byte as installed afterwards.
# The package is made from the programs already built: nothing is compiled again.
#
#   check-install.sh BUILD_FOLDER DESKTOP_FILE_VALIDATE APPSTREAMCLI GROFF CPACK LINTIAN
set -euo pipefail
build=$1 desktop_file_validate=$2 appstreamcli=$3 groff=$4 cpack=$5 lintian=$6

work=$(mktemp -d "${TMPDIR:-/tmp}/grelavo-install.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 755 "$work"

fail() {
    echo "ÉCHEC : $*" >&2
    exit 1
}

# Permissions do not bind root: as root the programs run as "nobody".
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    user_owns() { chown -R 65534:65534 "$@"; }
else
    as_user=()
    user_owns() { :; }
fi
# The programs' environment: nothing of the test's own (no display), HOME and XDG_DATA_HOME as
# given.
run_as_user() {
    env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

# --- The package ---------------------------------------------------------------------------------
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack a échoué : $(cat "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name 'grelavo_*.deb')
[ -f "$deb" ] || fail "pas de paquet dans $work/package : $(cat "$work/cpack.log")"
# Every tag lintian shows, info and pedantic ones included, fails.
set +e
"$lintian" --display-info --display-experimental --pedantic --fail-on none "$deb" \
    >"$work/lintian.log" 2>&1
status=$?
set -e
[ "$status" -eq 0 ] || fail "lintian n'a pas pu lire le paquet : $(cat "$work/lintian.log")"
tags=$(grep -E '^[EWIPX]: ' "$work/lintian.log" || true)
[ -z "$tags" ] || fail "lintian :"$'\n'"$tags"
root=$work/root
dpkg-deb -x "$deb" "$root"
prefix=$root/usr
shipped_sum=$(sha256sum <"$build/bin/Grelavo.mdb")
[ "$(sha256sum <"$prefix/share/grelavo/Grelavo.mdb")" = "$shipped_sum" ] ||
    fail "la base installée n'est pas celle de la construction"
cmp -s "$build/bin/Aide.chm" "$prefix/share/grelavo/Aide.chm" ||
    fail "le fichier d'aide installé n'est pas celui de la construction"

expected_files="bin/grelavo
bin/grelavo-courbe
bin/grelavo-export
bin/grelavo-import
bin/grelavo-rapport
bin/pelvane
share/applications/org.grelavo.grelavo.desktop
share/doc/grelavo/changelog.gz
share/doc/grelavo/copyright
share/grelavo/Aide.chm
share/grelavo/Grelavo.mdb
share/grelavo/exemple-essais/applications.csv
share/grelavo/exemple-essais/cultures.csv
share/grelavo/exemple-essais/edition.csv
share/grelavo/exemple-essais/evaluations.csv
share/grelavo/exemple-essais/produits.csv
share/grelavo/exemple-essais/sites.csv
share/grelavo/exemple-essais/stades.csv
share/grelavo/exemple-essais/traitements.csv
share/icons/hicolor/scalable/apps/org.grelavo.grelavo.svg
share/lintian/overrides/grelavo
share/man/man1/grelavo-courbe.1.gz
share/man/man1/grelavo-export.1.gz
share/man/man1/grelavo-import.1.gz
share/man/man1/grelavo-rapport.1.gz
share/man/man1/grelavo.1.gz
share/man/man1/pelvane.1.gz
share/metainfo/org.grelavo.grelavo.metainfo.xml"
installed_files=$(cd "$prefix" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$installed_files" = "$expected_files" ] ||
    fail "fichiers installés inattendus :"$'\n'"$(diff <(echo "$expected_files") <(echo "$installed_files"))"
for program in grelavo grelavo-courbe grelavo-export grelavo-import grelavo-rapport pelvane; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program n'est pas exécutable"
done

# --- Validators ---------------------------------------------------------------------------------
"$desktop_file_validate" "$prefix/share/applications/org.grelavo.grelavo.desktop" >"$work/dfv.log" 2>&1 ||
    fail "desktop-file-validate refuse l'entrée : $(cat "$work/dfv.log")"
[ ! -s "$work/dfv.log" ] || fail "desktop-file-validate : $(cat "$work/dfv.log")"
"$appstreamcli" validate --no-net --explain "$prefix/share/metainfo/org.grelavo.grelavo.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || fail "appstreamcli refuse la metainfo : $(cat "$work/appstream.log")"
grep -q '^✔ Validation was successful\.$' "$work/appstream.log" ||
    fail "appstreamcli : $(cat "$work/appstream.log")"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/org.grelavo.grelavo.svg" ||
    fail "l'icône n'est pas un fichier SVG"
for page in grelavo grelavo-courbe grelavo-export grelavo-import grelavo-rapport pelvane; do
    warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 "$groff" -K utf8 -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "page de manuel $page.1 : $warnings"
done

# --- A read-only copy of the installed tree, run by an ordinary user ---------------------------
tree=$work/tree
cp -a "$prefix" "$tree"
chmod -R a-w "$tree"
tree_listing() { (cd "$tree" && find . -printf '%P %s %T@\n' | LC_ALL=C sort); }
tree_before=$(tree_listing)

report=(--periode 2 --herbicide 1:1 --culture tous)

# The report of the build folder: its program beside its database, as in build/bin.
mkdir "$work/build-folder"
cp "$build/bin/grelavo-rapport" "$build/bin/Grelavo.mdb" "$work/build-folder/"
"$work/build-folder/grelavo-rapport" "${report[@]}" >"$work/expected.json" ||
    fail "grelavo-rapport du dossier de construction a échoué"
grep -q '"rows"' "$work/expected.json" || fail "le rapport de référence n'a pas de tableau"

home=$work/home
mkdir "$home"
user_owns "$home"
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-rapport" "${report[@]}" \
    >"$work/installed.json" 2>"$work/installed.err" ||
    fail "grelavo-rapport installé a échoué : $(cat "$work/installed.err")"
cmp -s "$work/expected.json" "$work/installed.json" ||
    fail "le rapport de l'installation diffère :"$'\n'"$(diff "$work/expected.json" "$work/installed.json" | head -20)"
copy=$home/.local/share/Grelavo/Grelavo.mdb
[ -f "$copy" ] || fail "pas de copie de travail dans $copy"
# The working copy, and the stamp of its last full check that spares the next start a reading.
[ "$(LC_ALL=C ls -A "$home/.local/share/Grelavo" | tr '\n' ' ')" = ".Grelavo.mdb.controle Grelavo.mdb " ] ||
    fail "le dossier de données contient autre chose : $(ls -A "$home/.local/share/Grelavo")"

# Run again: the working copy is used as it is (reports rewrite it; it is not copied again).
copy_inode=$(stat -c %i "$copy")
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-rapport" "${report[@]}" \
    >"$work/again.json" 2>"$work/again.err" || fail "second rapport : $(cat "$work/again.err")"
cmp -s "$work/expected.json" "$work/again.json" || fail "le second rapport diffère"
[ "$(stat -c %i "$copy")" = "$copy_inode" ] || fail "la copie de travail a été refaite"

# Pelvane compacts that same working copy, and the report stays the same: run as from a
# terminal with no display, it says so on the standard error.
run_as_user HOME="$home" QT_QPA_PLATFORM= "${as_user[@]}" "$tree/bin/pelvane" --help \
    >"$work/pelvane.help" 2>&1 || fail "pelvane --help sans écran : $(cat "$work/pelvane.help")"
grep -q "^Usage.*: pelvane" "$work/pelvane.help" || fail "pelvane --help : $(cat "$work/pelvane.help")"
run_as_user HOME="$home" QT_QPA_PLATFORM= "${as_user[@]}" "$tree/bin/pelvane" \
    >"$work/pelvane.out" 2>"$work/pelvane.err" ||
    fail "pelvane installé a échoué : $(cat "$work/pelvane.out" "$work/pelvane.err")"
[ "$(cat "$work/pelvane.err")" = "compactage terminée" ] && [ ! -s "$work/pelvane.out" ] ||
    fail "pelvane installé : $(cat "$work/pelvane.out" "$work/pelvane.err")"
[ "$(stat -c %i "$copy")" != "$copy_inode" ] || fail "pelvane n'a pas compacté la copie de travail"
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-rapport" "${report[@]}" \
    >"$work/compacted.json" 2>"$work/compacted.err" || fail "rapport après compactage : $(cat "$work/compacted.err")"
cmp -s "$work/expected.json" "$work/compacted.json" || fail "le rapport après compactage diffère"

# XDG_DATA_HOME set: the working copy is made there.
data=$work/xdg
mkdir "$data"
user_owns "$data"
run_as_user HOME="$home" XDG_DATA_HOME="$data" "${as_user[@]}" "$tree/bin/grelavo-rapport" \
    "${report[@]}" >"$work/xdg.json" 2>"$work/xdg.err" || fail "avec XDG_DATA_HOME : $(cat "$work/xdg.err")"
cmp -s "$work/expected.json" "$work/xdg.json" || fail "le rapport avec XDG_DATA_HOME diffère"
[ -f "$data/Grelavo/Grelavo.mdb" ] || fail "pas de copie de travail dans $data/Grelavo"

# A data folder that cannot be made: status 1, one line naming it, nothing made.
locked=$work/locked
mkdir -p "$locked"
chmod 555 "$locked"
set +e
run_as_user HOME="$locked" "${as_user[@]}" "$tree/bin/grelavo-rapport" "${report[@]}" \
    >"$work/locked.out" 2>"$work/locked.err"
status=$?
set -e
[ "$status" -eq 1 ] || fail "dossier de données impossible : statut $status au lieu de 1"
[ "$(wc -l <"$work/locked.err")" -eq 1 ] && grep -q "Impossible de créer le dossier «.*$locked/.local.*»" "$work/locked.err" ||
    fail "dossier de données impossible : $(cat "$work/locked.err")"
[ ! -s "$work/locked.out" ] || fail "dossier de données impossible : un rapport a été écrit"
[ -z "$(ls -A "$locked")" ] || fail "dossier de données impossible : $(ls -A "$locked") a été créé"

# grelavo-export reads the read-only shipped database and writes the exchange files.
exported=$work/export
mkdir "$exported"
user_owns "$exported"
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-export" \
    --db "$tree/share/grelavo/Grelavo.mdb" --output "$exported/essais" 2>"$work/export.err" ||
    fail "grelavo-export installé a échoué : $(cat "$work/export.err")"
[ "$(ls "$exported/essais" | LC_ALL=C sort | tr '\n' ' ')" = \
    "applications.csv cultures.csv edition.csv evaluations.csv produits.csv sites.csv stades.csv traitements.csv " ] ||
    fail "grelavo-export installé : $(ls "$exported/essais")"

# grelavo-import --new takes the read-only shipped database as its model: the new file holds the
# same experiments, so its export is the same files; its edition is its own ("Essais importés"),
# marked synthetic by the synthetic set it received.
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-import" \
    --db "$exported/nouvelle.mdb" --new "$exported/essais" >"$work/import.out" 2>"$work/import.err" ||
    fail "grelavo-import installé a échoué : $(cat "$work/import.err")"
run_as_user HOME="$home" "${as_user[@]}" "$tree/bin/grelavo-export" \
    --db "$exported/nouvelle.mdb" --output "$exported/retour" 2>"$work/export.err" ||
    fail "grelavo-export de la nouvelle base a échoué : $(cat "$work/export.err")"
diff -r -x edition.csv "$exported/essais" "$exported/retour" >"$work/retour.diff" ||
    fail "l'aller-retour export, import, export diffère : $(head -5 "$work/retour.diff")"
tail -n 1 "$exported/retour/edition.csv" | grep -q '^Essais importés,.*,1'$'\r''\?$' ||
    fail "la nouvelle base n'est pas marquée synthétique : $(cat "$exported/retour/edition.csv")"

# --- The example of every manual page, as written ------------------------------------------------
# Run in one folder in the pages' order, by the same user (whose working copy exists by now):
# the export's example writes the folder the import's examples read. grelavo-courbe's example
# reads a file of doses and responses from five trials, made here.
examples=$work/examples
mkdir "$examples"
awk 'BEGIN { print "essai,dose,reponse"
             for (t = 0; t < 5; t++) for (d = 0; d < 6; d++) {
                 dose = d == 0 ? 0 : 0.125 * 2 ^ d
                 printf "E%d,%g,%.1f\n", t, dose, 100 / (1 + (dose / (0.8 + 0.1 * t)) ^ 2) }
           }' >"$examples/evaluations.csv"
user_owns "$examples"
for page in grelavo grelavo-rapport grelavo-export grelavo-import grelavo-courbe pelvane; do
    commands=$(zcat "$prefix/share/man/man1/$page.1.gz" |
        awk '/^\.SH "?EXEMPLES?"?$/ { section = 1; next } /^\.SH/ { section = 0 }
             section && /^\.EX/ { example = 1; next } /^\.EE/ { example = 0 }
             section && example' | sed 's/\\-/-/g; s/\\~/ /g')
    [ -n "$commands" ] || fail "la page de manuel $page.1 n'a pas d'exemple"
    while IFS= read -r command; do
        (cd "$examples" && run_as_user HOME="$home" PATH="$tree/bin:/usr/bin:/bin" "${as_user[@]}" \
            bash -c "$command") >"$work/example.out" 2>"$work/example.err" ||
            fail "l'exemple de $page.1, « $command », a échoué : $(cat "$work/example.err")"
        [ -s "$work/example.out" ] || [ -s "$work/example.err" ] || [ "$page" = grelavo-export ] ||
            fail "l'exemple de $page.1, « $command », n'a rien écrit"
    done <<<"$commands"
done

# --- The shipped files are as installed ---------------------------------------------------------
[ "$(sha256sum <"$tree/share/grelavo/Grelavo.mdb")" = "$shipped_sum" ] ||
    fail "la base livrée (copie en lecture seule) a changé"
[ "$(sha256sum <"$prefix/share/grelavo/Grelavo.mdb")" = "$shipped_sum" ] ||
    fail "la base livrée a changé"
[ "$(tree_listing)" = "$tree_before" ] ||
    fail "l'arborescence installée a changé :"$'\n'"$(diff <(echo "$tree_before") <(tree_listing))"
echo "installation vérifiée dans $prefix"
